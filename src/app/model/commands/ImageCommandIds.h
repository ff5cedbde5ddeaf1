#pragma once
// Command ids of the Image menu and of the tools the documents' update
// rules answer for.
enum ImageCommandId : int {
    kCmdLightingDaylight = 32787,
    kCmdLightingTungsten = 32788,
    kCmdLightingFluorescent = 32789,
    kCmdLightingFlash = 32790,
    kCmdAutoScene = 32803,
    kCmdOriginalSettings = 32807,
    kCmdBalancePreset = 32812,
    kCmdBalanceCustom = 32814,
    kCmdBalanceAuto = 32815,
    kCmdBalanceClick = 32816,
    kCmdRotateCcw = 32837,
    kCmdRotateCw = 32838,
    kCmdClickBalanceTool = 32846,
    kCmdSelectTool = 32847,
    kCmdHandTool = 32848,
    kCmdIptc = 32854,
    kCmdTag = 32855,
    kCmdUntag = 32856,
    kCmdNoiseOff = 33100,
    kCmdNoiseLow = 33101,
    kCmdNoiseMedium = 33102,
    kCmdNoiseMoire = 33103,
    kCmdAutoExposure = 33131,
    kCmdCropTool = 33177,
    kCmdCloseUpTool = 33178,
    kCmdReviewSelection = 33188,
};

