#include "ProfileWriter.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t sig(const char* s) {
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 | uint32_t(uint8_t(s[2])) << 8 |
           uint32_t(uint8_t(s[3]));
}

void putBE32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v >> 24);
    b[at + 1] = uint8_t(v >> 16);
    b[at + 2] = uint8_t(v >> 8);
    b[at + 3] = uint8_t(v);
}

// ROMM RGB (D50) to XYZ and back.
const double kRommToXYZ[3][3] = {{0.7977, 0.1352, 0.0313}, {0.2880, 0.7119, 0.0001}, {0.0000, 0.0000, 0.8249}};

void invert(const double m[3][3], double out[3][3]) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    out[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) / det;
    out[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det;
    out[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det;
    out[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) / det;
    out[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det;
    out[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det;
    out[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) / det;
    out[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det;
    out[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det;
}

struct LookCargo {
    ProfileWriter::Look look;
};

int lookForward(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    const auto& look = static_cast<LookCargo*>(cargo)->look;
    double lin[3];
    for (int i = 0; i < 3; ++i) lin[i] = std::pow(in[i] / 65535.0, 1.8);
    cmsCIEXYZ xyz{kRommToXYZ[0][0] * lin[0] + kRommToXYZ[0][1] * lin[1] + kRommToXYZ[0][2] * lin[2],
                  kRommToXYZ[1][0] * lin[0] + kRommToXYZ[1][1] * lin[1] + kRommToXYZ[1][2] * lin[2],
                  kRommToXYZ[2][0] * lin[0] + kRommToXYZ[2][1] * lin[1] + kRommToXYZ[2][2] * lin[2]};
    cmsCIELab lab;
    cmsXYZ2Lab(cmsD50_XYZ(), &lab, &xyz);
    lab.L = 50.0 + (lab.L - 50.0) * look.contrast;
    lab.a *= look.saturation;
    lab.b = lab.b * look.saturation + look.warmth;
    if (lab.L < 0) lab.L = 0;
    if (lab.L > 100) lab.L = 100;
    cmsFloat2LabEncoded(out, &lab);
    return TRUE;
}

int lookReverse(const cmsUInt16Number in[], cmsUInt16Number out[], void*) {
    static double inverse[3][3];
    static bool ready = false;
    if (!ready) {
        invert(kRommToXYZ, inverse);
        ready = true;
    }
    cmsCIELab lab;
    cmsLabEncoded2Float(&lab, in);
    cmsCIEXYZ xyz;
    cmsLab2XYZ(cmsD50_XYZ(), &xyz, &lab);
    const double v[3] = {xyz.X, xyz.Y, xyz.Z};
    for (int i = 0; i < 3; ++i) {
        double lin = inverse[i][0] * v[0] + inverse[i][1] * v[1] + inverse[i][2] * v[2];
        lin = lin < 0 ? 0 : lin > 1 ? 1 : lin;
        out[i] = cmsUInt16Number(std::floor(std::pow(lin, 1.0 / 1.8) * 65535.0 + 0.5));
    }
    return TRUE;
}

int grayForward(const cmsUInt16Number in[], cmsUInt16Number out[], void*) {
    const double y = 0.299 * in[0] + 0.587 * in[1] + 0.114 * in[2];
    const auto g = cmsUInt16Number(std::floor(y + 0.5));
    out[0] = out[1] = out[2] = g;
    return TRUE;
}

int identity(const cmsUInt16Number in[], cmsUInt16Number out[], void*) {
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
    return TRUE;
}

// [identity curves, table, identity curves]: the shape both lut16 and the
// version 4 table types store.
cmsPipeline* tablePipeline(cmsContext ctx, int grid, cmsSAMPLER16 sampler, void* cargo) {
    cmsPipeline* p = cmsPipelineAlloc(ctx, 3, 3);
    cmsStage* clut = cmsStageAllocCLut16bit(ctx, cmsUInt32Number(grid), 3, 3, nullptr);
    if (!p || !clut || !cmsStageSampleCLut16bit(clut, sampler, cargo, 0)) {
        if (clut) cmsStageFree(clut);
        if (p) cmsPipelineFree(p);
        return nullptr;
    }
    cmsPipelineInsertStage(p, cmsAT_BEGIN, cmsStageAllocToneCurves(ctx, 3, nullptr));
    cmsPipelineInsertStage(p, cmsAT_END, clut);
    cmsPipelineInsertStage(p, cmsAT_END, cmsStageAllocToneCurves(ctx, 3, nullptr));
    return p;
}

} // namespace

ProfileWriter::ProfileWriter(std::string folder) : folder_(std::move(folder)), ctx_(cmsCreateContext(nullptr, nullptr)) {}

ProfileWriter::~ProfileWriter() { cmsDeleteContext(ctx_); }

void ProfileWriter::addTextTag(cmsHPROFILE h, const char* signature, const char* text) {
    // 'text' type: signature, 4 reserved bytes, ASCII with its NUL.
    std::vector<uint8_t> data(8 + std::strlen(text) + 1, 0);
    std::memcpy(data.data(), "text", 4);
    std::memcpy(data.data() + 8, text, std::strlen(text));
    cmsWriteRawTag(h, cmsTagSignature(sig(signature)), data.data(), cmsUInt32Number(data.size()));
}

bool ProfileWriter::save(cmsHPROFILE h, const std::string& file, const std::string& description, double version,
                         bool withDescription) {
    cmsSetProfileVersion(h, version);
    cmsSetHeaderManufacturer(h, sig("ORVE"));
    cmsSetHeaderModel(h, 0);
    cmsWriteTag(h, cmsSigDeviceMfgDescTag, nullptr);
    cmsWriteTag(h, cmsSigDeviceModelDescTag, nullptr);
    if (withDescription) {
        cmsMLU* mlu = cmsMLUalloc(ctx_, 1);
        cmsMLUsetASCII(mlu, "en", "US", description.c_str());
        cmsWriteTag(h, cmsSigProfileDescriptionTag, mlu);
        cmsMLUfree(mlu);
    } else {
        cmsWriteTag(h, cmsSigProfileDescriptionTag, nullptr);
    }
    cmsMLU* copyright = cmsMLUalloc(ctx_, 1);
    cmsMLUsetASCII(copyright, "en", "US", "Generated for Lumora. No copyright.");
    cmsWriteTag(h, cmsSigCopyrightTag, copyright);
    cmsMLUfree(copyright);

    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(h, nullptr, &size)) {
        error_ = file + ": cannot be serialised";
        cmsCloseProfile(h);
        return false;
    }
    std::vector<uint8_t> bytes(size);
    cmsSaveProfileToMem(h, bytes.data(), &size);
    cmsCloseProfile(h);
    // Header fields LittleCMS fills with its own values: the preferred module
    // and creator become the maker's, the date a fixed one so builds repeat,
    // and the profile ID is cleared (not computed).
    putBE32(bytes, 4, sig("OCMS"));
    const uint16_t date[6] = {2004, 1, 1, 0, 0, 0};
    for (int i = 0; i < 6; ++i) {
        bytes[24 + 2 * i] = uint8_t(date[i] >> 8);
        bytes[25 + 2 * i] = uint8_t(date[i]);
    }
    putBE32(bytes, 40, sig("APPL"));
    putBE32(bytes, 80, sig("ORVE"));
    std::memset(bytes.data() + 84, 0, 16);

    const std::string path = folder_ + "/" + file;
    const std::string temp = path + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f) ok = std::fclose(f) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        std::remove(temp.c_str());
        error_ = path + ": cannot be written";
    }
    return ok;
}

bool ProfileWriter::matrixShaper(const std::string& file, const std::string& description,
                                 cmsProfileClassSignature cls, const cmsCIExyYTRIPLE& primaries,
                                 const cmsCIExyY& white, cmsToneCurve* curve, double version) {
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE h = cmsCreateRGBProfileTHR(ctx_, &white, &primaries, curves);
    if (!h) {
        error_ = file + ": cannot be built";
        return false;
    }
    cmsSetDeviceClass(h, cls);
    return save(h, file, description, version);
}

bool ProfileWriter::look(const std::string& file, const std::string& description, const Look& look, int grid,
                         const char* versionText) {
    cmsHPROFILE h = cmsCreateProfilePlaceholder(ctx_);
    LookCargo cargo{look};
    cmsPipeline* a2b = tablePipeline(ctx_, grid, lookForward, &cargo);
    cmsPipeline* b2a = tablePipeline(ctx_, grid, lookReverse, nullptr);
    if (!h || !a2b || !b2a) {
        error_ = file + ": cannot be built";
        return false;
    }
    cmsSetProfileVersion(h, 4.3);
    cmsSetDeviceClass(h, cmsSigInputClass);
    cmsSetColorSpace(h, cmsSigRgbData);
    cmsSetPCS(h, cmsSigLabData);
    cmsSetHeaderRenderingIntent(h, INTENT_PERCEPTUAL);
    cmsWriteTag(h, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsWriteTag(h, cmsSigAToB0Tag, a2b);
    cmsWriteTag(h, cmsSigBToA0Tag, b2a);
    cmsPipelineFree(a2b);
    cmsPipelineFree(b2a);
    addTextTag(h, "K011", "Look");
    addTextTag(h, "K031", versionText);
    return save(h, file, description, 4.3);
}

bool ProfileWriter::grayLink(const std::string& file, const std::string& description, const char* versionText) {
    cmsHPROFILE h = cmsCreateProfilePlaceholder(ctx_);
    cmsPipeline* a2b = tablePipeline(ctx_, 17, grayForward, nullptr);
    if (!h || !a2b) {
        error_ = file + ": cannot be built";
        return false;
    }
    cmsSetProfileVersion(h, 4.3);
    cmsSetDeviceClass(h, cmsSigLinkClass);
    cmsSetColorSpace(h, cmsSigRgbData);
    cmsSetPCS(h, cmsSigRgbData);
    cmsWriteTag(h, cmsSigAToB0Tag, a2b);
    cmsPipelineFree(a2b);
    addTextTag(h, "K011", "Look");
    addTextTag(h, "K031", versionText);
    return save(h, file, description, 4.3);
}

bool ProfileWriter::toneCurveLink(const std::string& file, const std::string& description, double strength) {
    // A gentle S shape: a sigmoid blended with the identity.
    std::vector<cmsUInt16Number> table(1024);
    for (size_t i = 0; i < table.size(); ++i) {
        const double x = double(i) / double(table.size() - 1);
        const double s = 0.5 - 0.5 * std::cos(x * M_PI);
        const double y = x + strength * (s - x);
        table[i] = cmsUInt16Number(std::floor(y * 65535.0 + 0.5));
    }
    cmsToneCurve* c = cmsBuildTabulatedToneCurve16(ctx_, cmsUInt32Number(table.size()), table.data());
    cmsToneCurve* curves[3] = {c, c, c};
    cmsHPROFILE h = cmsCreateLinearizationDeviceLinkTHR(ctx_, cmsSigRgbData, curves);
    cmsFreeToneCurve(c);
    if (!h) {
        error_ = file + ": cannot be built";
        return false;
    }
    return save(h, file, description, 4.3);
}

bool ProfileWriter::labSpace(const std::string& file, const std::string& description) {
    cmsHPROFILE h = cmsCreateProfilePlaceholder(ctx_);
    cmsPipeline* a2b = tablePipeline(ctx_, 2, identity, nullptr);
    cmsPipeline* b2a = tablePipeline(ctx_, 2, identity, nullptr);
    if (!h || !a2b || !b2a) {
        error_ = file + ": cannot be built";
        return false;
    }
    cmsSetProfileVersion(h, 2.1);
    cmsSetDeviceClass(h, cmsSigColorSpaceClass);
    cmsSetColorSpace(h, cmsSigLabData);
    cmsSetPCS(h, cmsSigLabData);
    cmsWriteTag(h, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsWriteTag(h, cmsSigAToB0Tag, a2b);
    cmsWriteTag(h, cmsSigBToA0Tag, b2a);
    cmsPipelineFree(a2b);
    cmsPipelineFree(b2a);
    return save(h, file, description, 2.1);
}

bool ProfileWriter::withoutDescription(const std::string& file) {
    cmsCIExyY d65;
    cmsWhitePointFromTemp(&d65, 6504);
    const cmsCIExyYTRIPLE p = {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
    cmsToneCurve* g = cmsBuildGamma(ctx_, 2.2);
    cmsToneCurve* curves[3] = {g, g, g};
    cmsHPROFILE h = cmsCreateRGBProfileTHR(ctx_, &d65, &p, curves);
    cmsFreeToneCurve(g);
    if (!h) return false;
    cmsSetDeviceClass(h, cmsSigDisplayClass);
    return save(h, file, "", 2.1, false);
}
