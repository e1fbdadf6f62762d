#include "run/context.h"

namespace zov {

std::string Prompts::text(unsigned id) const {
    std::string t = strings_.get(id);
    if (t.size() > 1023)
        t.resize(1023);
    return t;
}

void Prompts::notice(const std::string& text) {
    if (!silent_)
        windows_.messageBox(BoxKind::Notice, text, caption());
}

bool Prompts::question(const std::string& text) {
    return silent_ || windows_.messageBox(BoxKind::Question, text, caption()) == BoxAnswer::Yes;
}

bool Prompts::error(const std::string& text) {
    return !silent_ && windows_.messageBox(BoxKind::Error, text, caption()) == BoxAnswer::Retry;
}

bool Prompts::warning(const std::string& text) {
    return silent_ || windows_.messageBox(BoxKind::Warning, text, caption()) == BoxAnswer::Ok;
}

} // namespace zov
