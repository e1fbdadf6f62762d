#include "ui/legal.h"

#include <cctype>
#include <cstring>

namespace zov {
namespace {

const LegalDocument kDocuments[] = {
    {"aaa", "EULA.rtf", 154},
    {"bbb", "privacy.rtf", 155},
    {"ccc", "tos.rtf", 155},
};

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool startsWithNoCase(const std::string& text, std::size_t at, const char* prefix) {
    std::size_t n = std::strlen(prefix);
    if (text.size() - at < n)
        return false;
    for (std::size_t i = 0; i < n; ++i)
        if (lower(text[at + i]) != lower(prefix[i]))
            return false;
    return true;
}

// The value of `name="..."` (or single quotes, or bare) inside one tag's text.
std::string attribute(const std::string& tag, const char* name) {
    for (std::size_t at = 0; at < tag.size(); ++at) {
        if (!startsWithNoCase(tag, at, name))
            continue;
        std::size_t p = at + std::strlen(name);
        while (p < tag.size() && std::isspace(static_cast<unsigned char>(tag[p])))
            ++p;
        if (p >= tag.size() || tag[p] != '=')
            continue;
        ++p;
        while (p < tag.size() && std::isspace(static_cast<unsigned char>(tag[p])))
            ++p;
        if (p < tag.size() && (tag[p] == '"' || tag[p] == '\'')) {
            std::size_t end = tag.find(tag[p], p + 1);
            return tag.substr(p + 1, end == std::string::npos ? std::string::npos : end - p - 1);
        }
        std::size_t end = p;
        while (end < tag.size() && !std::isspace(static_cast<unsigned char>(tag[end])) && tag[end] != '>')
            ++end;
        return tag.substr(p, end - p);
    }
    return {};
}

void appendEntity(std::string& out, const std::string& html, std::size_t& i) {
    static const struct {
        const char* name;
        char c;
    } kEntities[] = {{"&amp;", '&'},  {"&lt;", '<'},   {"&gt;", '>'},    {"&quot;", '"'},
                     {"&nbsp;", ' '}, {"&#39;", '\''}, {"&reg;", '\xae'}};
    for (const auto& e : kEntities)
        if (startsWithNoCase(html, i, e.name)) {
            out += e.c;
            i += std::strlen(e.name);
            return;
        }
    out += '&';
    ++i;
}

} // namespace

const LegalDocument* legalDocumentForLink(const std::string& name) {
    for (const auto& d : kDocuments)
        if (name == d.link)
            return &d;
    return nullptr;
}

std::optional<std::string> appLinkName(const std::string& url) {
    if (!startsWithNoCase(url, 0, "app:"))
        return std::nullopt;
    return url.substr(4);
}

std::string rtfFromFragment(const std::string& fragment, const std::string& codePage) {
    return "{\\rtf1\\ansicpg" + codePage + fragment + "}";
}

std::string consentMarkup(const std::string& html) {
    std::string out;
    std::size_t i = 0;
    // Only the body's text counts; a page without a body is taken whole.
    for (std::size_t at = 0; at < html.size(); ++at)
        if (html[at] == '<' && startsWithNoCase(html, at + 1, "body")) {
            std::size_t end = html.find('>', at);
            i = end == std::string::npos ? html.size() : end + 1;
            break;
        }
    bool inLink = false;
    auto space = [&out, &inLink] {
        // Never directly inside an opening anchor: the link's text starts with a word.
        if (!out.empty() && out.back() != ' ' && !(inLink && out.back() == '>'))
            out += ' ';
    };
    while (i < html.size()) {
        char c = html[i];
        if (c == '<') {
            if (html.compare(i, 4, "<!--") == 0) {
                std::size_t end = html.find("-->", i + 4);
                i = end == std::string::npos ? html.size() : end + 3;
                continue;
            }
            std::size_t end = html.find('>', i);
            if (end == std::string::npos)
                break;
            std::string tag = html.substr(i + 1, end - i - 1);
            i = end + 1;
            if (startsWithNoCase(tag, 0, "script") || startsWithNoCase(tag, 0, "style")) {
                const char* close = startsWithNoCase(tag, 0, "script") ? "</script" : "</style";
                std::size_t at = i;
                while (at < html.size() && !startsWithNoCase(html, at, close))
                    ++at;
                std::size_t past = html.find('>', at);
                i = past == std::string::npos ? html.size() : past + 1;
            } else if (startsWithNoCase(tag, 0, "/body")) {
                break;
            } else if ((tag.size() == 1 || std::isspace(static_cast<unsigned char>(tag[1]))) &&
                       lower(tag[0]) == 'a' && !inLink) {
                out += "<a href=\"" + attribute(tag, "href") + "\">";
                inLink = true;
            } else if (startsWithNoCase(tag, 0, "/a") && tag.size() == 2 && inLink) {
                while (!out.empty() && out.back() == ' ')
                    out.pop_back();
                out += "</a>";
                inLink = false;
            } else if (startsWithNoCase(tag, 0, "br") || startsWithNoCase(tag, 0, "p") ||
                       startsWithNoCase(tag, 0, "/p") || startsWithNoCase(tag, 0, "div") ||
                       startsWithNoCase(tag, 0, "/div")) {
                space();
            }
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            space();
            ++i;
        } else if (c == '&') {
            appendEntity(out, html, i);
        } else {
            out += c;
            ++i;
        }
    }
    if (inLink)
        out += "</a>";
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    std::size_t first = out.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : out.substr(first);
}

bool InstallAgreement::openLink(const std::string& name) {
    const LegalDocument* document = legalDocumentForLink(name);
    if (document == nullptr)
        return false;
    run_.history.RecordEvent(document->event);
    view_.document(documentPath(document->file));
    run_.history.RecordEvent(153);
    return true;
}

} // namespace zov
