#include <cups/ppd.h>

#include <cstring>

#include "filter/CCupsRender.h"
#include "filter/ChoiceNumber.h"
#include "render/MediaTracking.h"

namespace CupsHost {

std::string GetMarkedOption(CBaseRender& render, const char* keyword) {
    ppd_choice_t* choice = render.m_pPpd ? ppdFindMarkedChoice(render.m_pPpd, keyword) : nullptr;
    if (!choice) {
        render.AddLog("GetMarkedOption: %s is error", keyword);
        return std::string();
    }
    const ppd_option_t* option = choice->option;
    render.AddLog(
        "%s: marked=%d, choice: %s, text: %s, code: %s, \t\t\tconflicted=%d, keyword: %s, "
        "defchoice: %s, option->text: %s, option->num_choices: %d",
        keyword, choice->marked, choice->choice, choice->text, choice->code ? choice->code : "(null)",
        option ? option->conflicted : 0, option ? option->keyword : "", option ? option->defchoice : "",
        option ? option->text : "", option ? option->num_choices : 0);
    return choice->choice;
}

namespace {

// Options whose choice is a number stored unchanged, in the order they are read.
struct NumberOption {
    const char* keyword;
    int tagREGSTRUCTWITHALFTONE::*field;
    const char* log;
    ChoiceNumber::Range range;
};

}  // namespace

void GetPrinterParameters(CBaseRender& render) {
    tagREGSTRUCT& reg = render.m_RegStruct;
    tagREGSTRUCTWITHALFTONE& tone = render.m_HalfTone;
    render.AddLog("CCupsRender::GetPrinterParameters");

    auto marked = [&render](const char* keyword) { return GetMarkedOption(render, keyword); };
    // The choice as a number, clamped to what its setting carries.
    auto number = [&render](const char* keyword, const std::string& choice, ChoiceNumber::Range range) {
        bool clamped = false;
        const int value = ChoiceNumber::Parse(choice, range, clamped);
        if (clamped)
            render.AddLog("%s: choice %s is out of range, using %d", keyword, choice.c_str(), value);
        return value;
    };
    const ChoiceNumber::Range kInt;

    std::string text = marked(kMediaMethodKeyword);
    if (!text.empty()) {
        reg.iPrinttype = (text == "Normal" || text == "Direct") ? 0 : 1;
        render.AddLog("iPrinttype = %d", reg.iPrinttype);
    }
    text = marked("AdjustHoriaontal");
    if (!text.empty()) {
        reg.iReference[0] = number("AdjustHoriaontal", text, ChoiceNumber::kMillimetres) * 8;
        render.AddLog("iReference[0] = %d", reg.iReference[0]);
    }
    text = marked("AdjustVertical");
    if (!text.empty()) {
        reg.iReference[1] = number("AdjustVertical", text, ChoiceNumber::kMillimetres) * 8;
        render.AddLog("iReference[1] = %d", reg.iReference[1]);
    }
    text = marked(kTrackingKeyword);
    if (!text.empty()) {
        // An unknown choice leaves the earlier values.
        if (const MediaTracking::Row* media = MediaTracking::Find(text))
            MediaTracking::Apply(reg, *media);
        render.AddLog("Gap = %d, %d, %d", reg.iMediaType, reg.iMarkLength, reg.iMarkOffset);
    }
    text = marked("FeedOffset");
    if (!text.empty()) {
        reg.iOffset = number("FeedOffset", text, ChoiceNumber::kMillimetres);
        reg.iPostFeed = reg.iOffset;
        render.AddLog("iOffset = %d", reg.iOffset);
    }
    text = marked("Rotate");
    if (!text.empty()) {
        reg.iRotate = number("Rotate", text, kInt);
        render.AddLog("iRotate = %d", reg.iRotate);
    }
    text = marked(kDarknessKeyword);
    if (text.empty() || text == "Default") {
        reg.iDensity = -1;
    } else {
        reg.iDensity = number(kDarknessKeyword, text, kInt);
        render.AddLog("iDensity = %d", reg.iDensity);
    }
    text = marked(kSpeedKeyword);
    if (text.empty() || text == "Default") {
        reg.iSpeed = -1;
    } else {
        reg.iSpeed = number(kSpeedKeyword, text, kInt);
        render.AddLog("iSpeed = %d", reg.iSpeed);
    }
    text = marked("AutoDotted");
    if (!text.empty()) {
        reg.iDottedline = number("AutoDotted", text, kInt) != 0;
        render.AddLog("iDottedline = %d", reg.iDottedline ? 1 : 0);
    }
    text = marked("Brightness");
    tone.iLiangdu = number("Brightness", text, ChoiceNumber::kToneChange);
    render.AddLog("iLiangdu = %d", tone.iLiangdu);

    static const NumberOption kNumbers[] = {
        {"Contrast", &tagREGSTRUCTWITHALFTONE::iDuibidu, "iDuibidu = %d", ChoiceNumber::kToneChange},
        {"ImageFilter", &tagREGSTRUCTWITHALFTONE::iGrayMethod, "iGrayMethod = %d", {}},
        {"Threshold", &tagREGSTRUCTWITHALFTONE::iThreValue, "iThreValue = %d", {}},
    };
    for (const NumberOption& option : kNumbers) {
        text = marked(option.keyword);
        if (!text.empty()) {
            tone.*option.field = number(option.keyword, text, option.range);
            render.AddLog(option.log, tone.*option.field);
        }
    }
    text = marked("ImageCompress");
    if (!text.empty()) {
        tone.ImageCompress = number("ImageCompress", text, kInt) != 0;
        render.AddLog("ImageCompress = %d", tone.ImageCompress ? 1 : 0);
    }
    static const NumberOption kCropLimits[] = {
        {"CropEdgeTop", &tagREGSTRUCTWITHALFTONE::iCropTopEdge, "iCropTopEdge = %d", ChoiceNumber::kMillimetres},
        {"CropEdgeBottom", &tagREGSTRUCTWITHALFTONE::iCropBottomEdge, "iCropBottomEdge = %d",
         ChoiceNumber::kMillimetres},
        {"CropEdgeLeft", &tagREGSTRUCTWITHALFTONE::iCropLeftEdge, "iCropLeftEdge = %d", ChoiceNumber::kMillimetres},
        {"CropEdgeRight", &tagREGSTRUCTWITHALFTONE::iCropRightEdge, "iCropRightEdge = %d", ChoiceNumber::kMillimetres},
    };
    for (const NumberOption& option : kCropLimits) {
        text = marked(option.keyword);
        if (!text.empty()) {
            tone.*option.field = number(option.keyword, text, option.range);
            render.AddLog(option.log, tone.*option.field);
        }
    }
}

}  // namespace CupsHost
