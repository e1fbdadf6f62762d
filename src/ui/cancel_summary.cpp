#include "ui/cancel_summary.h"

#include <cctype>

namespace zov {

std::string cancelSummaryText(StringTable& strings) {
    return strings.get(215) + strings.get(216);
}

bool saveCancelSummary(FileSystem& files, const std::string& path, const std::string& text) {
    // Written as the bytes they are: the text already holds CR LF pairs, which a text-mode
    // file would turn into CR CR LF.
    std::unique_ptr<OutputFile> file = files.create(path);
    if (!file)
        return false;
    std::size_t written = text.empty() ? 0 : file->write(text.data(), text.size());
    file->close();
    return written == text.size();
}

std::string pageFooter(const std::string& format, int page) {
    std::string out;
    bool numbered = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (format[i + 1] == 'd' && !numbered) {
                out += std::to_string(page);
                numbered = true;
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

std::size_t fitPage(std::string_view rest, int maxHeight,
                    const std::function<int(std::string_view)>& height) {
    const std::size_t n = rest.size();
    if (n == 0 || height(rest) <= maxHeight)
        return n;
    // Halving search over the number of characters, kept inside 1 .. n-1 (the whole rest
    // does not fit): start at half, step a quarter, halve the step down to 1 each pass, and
    // stop when a step of 1 crosses the boundary.
    auto fits = [&](std::size_t count) { return height(rest.substr(0, count)) <= maxHeight; };
    std::size_t pos = n / 2 > 0 ? n / 2 : 1;
    std::size_t step = n / 4 > 0 ? n / 4 : 1;
    std::size_t best = 0; // the longest count seen to fit
    bool lastFit = fits(pos);
    for (int pass = 0; pass < 128; ++pass) {
        if (lastFit && pos > best)
            best = pos;
        std::size_t next = lastFit ? pos + step : (pos > step ? pos - step : 1);
        if (next > n - 1)
            next = n - 1;
        if (next == pos)
            break; // pinned at an end of the range
        bool nextFit = fits(next);
        const bool crossed = step == 1 && nextFit != lastFit;
        pos = next;
        lastFit = nextFit;
        if (crossed) {
            if (lastFit && pos > best)
                best = pos;
            break;
        }
        if (step > 1)
            step /= 2;
    }
    std::size_t cut = best > 0 ? best : 1;
    // Back to the last white space at or before the cut, when there is one to go back to.
    for (std::size_t i = cut; i > 0; --i)
        if (std::isspace(static_cast<unsigned char>(rest[i]))) {
            cut = i;
            break;
        }
    return cut;
}

PrintOutcome printPlainText(const std::string& text, const std::string& document, const std::string& footer,
                            PrintJob& job) {
    if (!job.start(document))
        return PrintOutcome::NotStarted;
    const int t = job.lineHeight();
    const int m = 2 * t;
    const int width = job.pageWidth();
    const int height = job.pageHeight();
    const int textWidth = width - 2 * m;
    std::string_view rest = text;
    int page = 1;
    bool ok = true;
    // Once per page, also for an empty text: the printout has at least its title page.
    do {
        const std::string number = pageFooter(footer, page);
        job.showPage(number);
        if (!job.startPage()) {
            ok = false;
            break;
        }
        job.drawCentred(document, 0, m);
        std::size_t take = fitPage(rest, height - 4 * t,
                                   [&](std::string_view part) { return job.textHeight(part, textWidth); });
        job.drawText(rest.substr(0, take), m, m, width - m, height - m);
        rest.remove_prefix(take);
        job.drawCentred(number, height - m, height);
        ok = job.endPage() && job.goOn();
        ++page;
    } while (ok && !rest.empty());
    if (!ok) {
        job.abort();
        return PrintOutcome::Stopped;
    }
    job.end();
    return PrintOutcome::Printed;
}

RangeOutcome printFormattedRanges(RangePrintJob& job) {
    const long length = job.length();
    if (length > 0 && job.measure(0) <= 0)
        return RangeOutcome::NotPaginated;
    if (!job.start())
        return RangeOutcome::Failed;
    long from = 0;
    do {
        if (!job.startPage()) {
            job.abort();
            return RangeOutcome::Failed;
        }
        long next = job.format(from);
        if (!job.endPage()) {
            job.abort();
            return RangeOutcome::Failed;
        }
        if (next <= from)
            break; // nothing more fits or the control stopped moving: end the job here
        from = next;
    } while (from < length);
    job.end();
    return RangeOutcome::Printed;
}

} // namespace zov
