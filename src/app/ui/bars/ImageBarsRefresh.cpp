#include "ImageBarsRefresh.h"

#include "CImageHistogram.h"
#include "CImageInfo.h"
#include "CImageSettings.h"
#include "CMainFrame.h"
#include "Image.h"
#include "ImageRendering.h"

void RefreshImageBars(CMainFrame* frame, NimbalCore::ImageRendering* rendering) {
    if (!frame) return;
    CImageSettings* settings = frame->GetImageSettings();
    CImageInfo* info = frame->GetImageInfo();
    CImageHistogram* histogram = frame->GetImageHistogram();
    if (!rendering || !*rendering->GetImage()) {
        if (settings) settings->Clear();
        if (info) info->Clear();
        if (histogram) histogram->Clear();
        return;
    }
    NimbalCore::Image& image = **rendering->GetImage();
    const NimbalCore::ImageProcessParam* params = rendering->GetProcessParamPtr();
    if (settings) settings->Update(image, params);
    if (info) info->Update(image, params);
    if (histogram) histogram->Update(rendering, params);
}
