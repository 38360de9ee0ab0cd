#pragma once
// The kinds of skinned message box. The kind fixes the icon, the texts and
// whether the box has one or two buttons; the values are fixed.
#include <cstdint>

enum EnumMsgType : std::int32_t {
    MsgReplace = 0,
    MsgCloseNow = 1,
    MsgCancel = 2,
    MsgAppExist = 3,
    MsgPathError = 4,
    MsgNetFrameDown = 5,
    MsgInstallRunTimeOut = 6,
    MsgMD5Fail = 7,
    MsgUrlFail = 8,
    MsgInternetFail = 9,
    MsgInternetTimeout = 10,
    MsgNoEnoughSpace = 11,
    MsgClickShortcutToLaunch = 12,
    MsgNotSupportSystem = 13,
    MsgAgree = 14,
    MsgSuggestSSD = 15,
};
