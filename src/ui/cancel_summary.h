// The cancel summary's text, its saved file and its printout, apart from the windows that
// show them: the plain-text print job (title, page-fitted text, "Page %d" footer) runs
// against a `PrintJob` that a window system implements with a printer device.
#pragma once

#include "platform/ports.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace zov {

// String 215 followed directly by string 216 (both with CR LF line breaks).
std::string cancelSummaryText(StringTable& strings);

// Writes the text byte for byte; false when the file cannot be made or takes fewer bytes.
bool saveCancelSummary(FileSystem& files, const std::string& path, const std::string& text);

// "Page %d" with the number in place of its "%d" ("%%" is a percent sign); nothing else
// of the text is read as a format, so any setting is safe.
std::string pageFooter(const std::string& format, int page);

// How many characters of `rest` go on one page: the most whose word-wrapped height is at
// most `maxHeight`, found by a halving search, then moved back to the last white space at
// or before the cut when the page does not take the whole rest. Always at least one
// character of a non-empty rest, so a page too small for a word still moves on.
std::size_t fitPage(std::string_view rest, int maxHeight, const std::function<int(std::string_view)>& height);

// A printer job as the plain-text printout needs it. Lengths are device units.
class PrintJob {
  public:
    virtual ~PrintJob() = default;
    virtual bool start(const std::string& document) = 0; // false: the job did not start
    virtual int pageWidth() = 0;
    virtual int pageHeight() = 0;
    virtual int lineHeight() = 0; // of the printout's font
    // Height of the text word-wrapped (tabs expanded) into the width.
    virtual int textHeight(std::string_view text, int width) = 0;
    virtual void showPage(const std::string& status) = 0; // the status dialog's page line
    virtual bool startPage() = 0;
    virtual void drawCentred(const std::string& text, int top, int bottom) = 0;
    virtual void drawText(std::string_view text, int left, int top, int right, int bottom) = 0;
    virtual bool endPage() = 0;
    virtual bool goOn() = 0; // the abort procedure: false once the user cancelled
    virtual void abort() = 0;
    virtual void end() = 0;
};

enum class PrintOutcome { NotStarted, Printed, Stopped };

// The whole printout: per page the document name centred in the top margin, the fitted
// text between the margins (twice the line height) and the footer centred in the bottom
// margin. Stops (and aborts the job) when a page fails or the user cancels.
PrintOutcome printPlainText(const std::string& text, const std::string& document, const std::string& footer,
                            PrintJob& job);

// Rich text printed one formatted range per page: `format(from)` lays out and draws one
// page from character `from` and returns where the next page starts. A range that does not
// move on ends the job, which would otherwise print empty pages for ever. A control that
// cannot lay out even its first page (`measure(0)` does not move on over a text) prints
// nothing: the caller prints its plain text instead.
enum class RangeOutcome { Printed, Failed, NotPaginated };
class RangePrintJob {
  public:
    virtual ~RangePrintJob() = default;
    virtual bool start() = 0;
    virtual long length() = 0;
    virtual long measure(long from) = 0; // as format, without drawing
    virtual bool startPage() = 0;
    virtual long format(long from) = 0;
    virtual bool endPage() = 0;
    virtual void abort() = 0;
    virtual void end() = 0;
};
RangeOutcome printFormattedRanges(RangePrintJob& job);

} // namespace zov
