#pragma once
// Ids of the windows' own texts (the English texts are in the application's
// string table).
enum FrameStringId {
    IDS_IMAGE_CONTROLS_TITLE = 59506,
    IDS_IMAGE_INFO_TITLE = 59507,
    IDS_OUTPUT_HISTOGRAM_TITLE = 59956,
    IDS_LOGO_TIP = 62045,
};
