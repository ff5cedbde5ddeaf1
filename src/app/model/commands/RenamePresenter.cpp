#include "RenamePresenter.h"

#include "CLocaleText.h"
#include "LocalizedText.h"
#include "MessageBoxService.h"
#include "ProfileItemManager.h"
#include "RenameValidation.h"
#include "StringIds.h"

#include <algorithm>
#include <cstdint>

namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

size_t CharacterCount(const std::string& text) {
    return size_t(std::count_if(text.begin(), text.end(), [](char c) { return !IsContinuation(c); }));
}

// The first n characters (never a character cut in two).
std::string FirstCharacters(const std::string& text, long long n) {
    if (n <= 0) return {};
    long long count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsContinuation(text[i])) continue;
        if (count == n) return text.substr(0, i);
        ++count;
    }
    return text;
}

std::string LastCharacters(const std::string& text, size_t n) {
    size_t i = text.size();
    for (size_t count = 0; i > 0 && count < n;) {
        --i;
        if (!IsContinuation(text[i])) ++count;
    }
    return text.substr(i);
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// The largest value that digits digits hold: 10^digits - 1, and 0 for no
// digits at all.
long long LargestNumber(int digits) {
    if (digits <= 0) return 0;
    long long largest = 1;
    for (int i = 0; i < digits && largest <= INT32_MAX; ++i) largest *= 10;
    return largest - 1;
}

} // namespace

RenamePresenter::RenamePresenter(DialogView& view, EditFieldView& fields, int imageCount, std::string name,
                                 std::string extension)
    : view_(view), fields_(fields), baseName_(std::move(name)), extension_(std::move(extension)),
      imageCount_(imageCount), multiple_(imageCount > 1) {}

std::string RenamePresenter::NumberedName(int digits, int start, const std::string& name) {
    // Zero-padded to digits characters, longer when the value needs more.
    const std::string number = FormatCLocale("%0*d", std::clamp(digits, 0, int(kMaxNameLength)), start);
    const size_t star = name.find('*');
    if (star != std::string::npos) return name.substr(0, star) + number + name.substr(star + 1);
    return FirstCharacters(name, (long long)kMaxNameLength - (long long)number.size()) + number;
}

std::string RenamePresenter::ApplyNumbering(int digits, int start, const std::string& name) const {
    if (!multiple_) return name;
    return NumberedName(digits, start, name);
}

void RenamePresenter::InitDialog() {
    numDigits_ = 1;
    startFrom_ = 1;
    if (!multiple_) {
        for (int id : {kRenameDigits, kRenameStart, kRenameDigitsLabel, kRenameStartLabel, kRenameNumberGroup})
            view_.EnableItem(id, false);
        fields_.SetTextLimit(kRenameBaseName, kMaxNameLength);
    } else {
        ProfileItemManager settings;
        settings.GetString(PI_SAVE_AS_BASENAME, baseName_);
        settings.GetInt(PI_SAVE_AS_NUM_DIGITS, numDigits_);
        settings.GetInt(PI_SAVE_AS_START_FROM, startFrom_);
        for (int id : {kRenamePreviewLabel, kRenamePreview, kRenameDigitsLabel, kRenameStartLabel, kRenameDigits,
                       kRenameStart, kRenameNumberGroup})
            view_.ShowItem(id, true);
        fields_.SetTextLimit(kRenameDigits, 1);
        fields_.SetTextLimit(kRenameStart, numDigits_);
        fields_.SetNumberQuietly(kRenameDigits, numDigits_);
        fields_.SetNumberQuietly(kRenameStart, startFrom_);
        const int needed = DigitsForCount((long long)startFrom_ + imageCount_);
        if (numDigits_ < needed) {
            numDigits_ = needed;
            fields_.SetNumberQuietly(kRenameDigits, numDigits_);
        }
        fields_.SetTextLimit(kRenameBaseName, kMaxNameLength - needed);
    }
    view_.SetItemText(kRenameBaseName, baseName_);
    Validate();
}

bool RenamePresenter::Validate() {
    int message = 0;
    bool numberFailed = false;
    if (startFrom_ < 0) startFrom_ = 0;
    if (multiple_) {
        if (numDigits_ < DigitsForCount((long long)startFrom_ + imageCount_)) {
            message = IDS_RENAME_DIGITS_FOR_COUNT;
            fields_.SetNumberValid(kRenameDigits, false);
            numberFailed = true;
        }
        if (DigitsForCount(startFrom_) > numDigits_ || startFrom_ > LargestNumber(numDigits_)) {
            message = IDS_RENAME_DIGITS_FOR_START;
            fields_.SetNumberValid(kRenameStart, false);
            numberFailed = true;
        }
        if (numDigits_ < 1 || numDigits_ > kMaxDigits) {
            message = IDS_RENAME_DIGITS_RANGE;
            fields_.SetNumberValid(kRenameDigits, false);
            numberFailed = true;
        }
    }
    if (std::count(baseName_.begin(), baseName_.end(), '*') > 1) message = IDS_RENAME_STARS;
    if (!multiple_ && baseName_.empty()) message = IDS_RENAME_NO_BASE_NAME;
    if (!numberFailed) {
        fields_.SetNumberValid(kRenameDigits, true);
        fields_.SetNumberValid(kRenameStart, true);
    }
    if (message == 0) {
        view_.SetItemText(kRenameMessage, std::string());
        UpdatePreview();
        view_.EnableItem(kRenameButton, true);
        return true;
    }
    view_.SetItemText(kRenameMessage, LoadTranslatedString(message));
    view_.EnableItem(kRenameButton, false);
    return false;
}

void RenamePresenter::UpdatePreview() {
    previewName_ = ApplyNumbering(numDigits_, startFrom_, baseName_) + extension_;
    view_.SetItemText(kRenamePreview, previewName_);
}

void RenamePresenter::OnBaseNameChanged() {
    baseName_ = view_.GetItemText(kRenameBaseName);
    Validate();
}

void RenamePresenter::OnNumberChanged() {
    numDigits_ = fields_.GetNumber(kRenameDigits);
    startFrom_ = fields_.GetNumber(kRenameStart);
    if (!Validate()) return;
    fields_.SetTextLimit(kRenameStart, numDigits_);
    const int room = kMaxNameLength - std::max(numDigits_, DigitsForCount(startFrom_));
    baseName_ = view_.GetItemText(kRenameBaseName);
    if (CharacterCount(baseName_) > size_t(room)) baseName_ = FirstCharacters(baseName_, room);
    fields_.SetTextLimit(kRenameBaseName, room);
    view_.SetItemText(kRenameBaseName, baseName_);
    UpdatePreview();
}

bool RenamePresenter::OnOK() {
    // The default key reaches OK also while the button is disabled.
    if (!Validate()) return false;
    if (!multiple_ && !EqualIgnoringCase(LastCharacters(baseName_, CharacterCount(extension_)), extension_)) {
        const int answer = MessageBoxService::Current().Show(LoadTranslatedString(IDS_RENAME_EXTENSION_CHANGE),
                                                             LoadTranslatedString(IDS_APP_TITLE),
                                                             MessageBoxService::kOkCancel);
        if (answer != MessageBoxService::kAnswerOk) return false;
    }
    return true;
}
