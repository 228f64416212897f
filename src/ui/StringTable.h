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
    IDS_OPERATE_SUCCESS = 138,
    IDS_CONNECT = 139,
    IDS_DISCONNECT = 140,
};
