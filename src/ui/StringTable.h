#pragma once

#include "DialogTemplate.h"

// The string resources 102..141 in both languages. An unknown id gives "".
const char* LoadResourceString(int id, Language lang);

// String ids the window and its parts use by name.
enum StringId {
    IDS_PORT_OPEN_FAILED = 102,
    IDS_OPEN = 103,
    IDS_CLOSE = 104,
    IDS_START = 105,
    IDS_STOP = 106,
    IDS_HELP_CONNECTION = 107,
    IDS_HELP_ADDRESS = 108,
    IDS_HELP_SETTINGS = 109,
    IDS_HELP_SAVING = 110,
    IDS_HELP_CHART = 111,
    IDS_HELP_PARAMETERS = 112,
    IDS_HELP_TRAFFIC = 113,
    IDS_SET_RANGE = 116,
    IDS_SET_RESOLUTION = 117,
    IDS_VALUE = 118,
    IDS_GENERATE_PICTURE = 119,
    IDS_START_DRAWING = 121,
    IDS_STOP_DRAWING = 122,
    IDS_SHOW_MOUSE = 123,
    IDS_ENABLE_CROSS_HAIR = 124,
    IDS_ENABLE_X_RULER = 125,
    IDS_ENABLE_Y_RULER = 126,
    IDS_ENABLE_ABSCISSA = 127,
    IDS_ENABLE_ORDINATE = 128,
    IDS_HIDE_X_DATA = 129,
    IDS_HIDE_Y_DATA = 130,
    IDS_DISABLE_CROSS_HAIR = 131,
    IDS_DISABLE_X_RULER = 132,
    IDS_DISABLE_Y_RULER = 133,
    IDS_DISABLE_ABSCISSA = 134,
    IDS_DISABLE_ORDINATE = 135,
    IDS_SHOW_X_DATA = 136,
    IDS_SHOW_Y_DATA = 137,
    IDS_OPERATE_SUCCESS = 138,
    IDS_CONNECT = 139,
    IDS_DISCONNECT = 140,
};
