#pragma once

#include <string>

#include "DrawSurface.h"

// A font the chart's texts keep by description and realise on the surface
// only when something about it changed.
class CChartFont {
public:
    CChartFont(std::string face, int tenths);

    void SetFace(const std::string& face);
    void SetSize(int tenths);
    void SetStyle(bool italic, bool bold, bool underline);
    void SetRotated(bool rotated);

    const std::string& GetFace() const { return face_; }
    int GetSize() const { return tenths_; }
    bool IsItalic() const { return italic_; }
    bool IsBold() const { return bold_; }
    bool IsUnderline() const { return underline_; }
    bool IsRotated() const { return rotated_; }

    // Makes the font current and remembers the one it replaced; Release selects that back.
    void Select(DrawSurface& surface);
    void Release(DrawSurface& surface);

private:
    std::string face_;
    int tenths_;
    bool italic_ = false;
    bool bold_ = false;
    bool underline_ = false;
    bool rotated_ = false;
    SurfaceFont realised_;
    bool recreate_ = true;
    SurfaceFont previous_;
};
