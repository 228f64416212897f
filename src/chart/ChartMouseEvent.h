#pragma once

enum MouseEvent {
    MouseMove = 0,
    LButtonUp = 1,
    LButtonDown = 2,
    LButtonDoubleClick = 3,
    RButtonUp = 4,
    RButtonDown = 5,
    RButtonDoubleClick = 6,
};
