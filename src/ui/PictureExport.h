#pragma once

#include <string>

class CChartCore;
class Clock;

// The chart saved as a PNG picture, named after the moment of the export.
class PictureExport {
public:
    PictureExport(CChartCore& chart, Clock& clock, std::string folder)
        : chart_(chart), clock_(clock), folder_(std::move(folder)) {}

    std::string FileName() const;
    void Save();

private:
    CChartCore& chart_;
    Clock& clock_;
    std::string folder_;
};
