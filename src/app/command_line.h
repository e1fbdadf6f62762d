// The switch table and its parser.
//
// A base parser splits the line into candidate switches; the installer's table decides
// which candidates are switches. Unknown candidates (a "-" inside a path, a word) are
// dropped, never reported: distributors' scripts pass paths with dashes.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zov {

class CommandLineParser {
  public:
    static constexpr std::size_t kTokenBuffer = 50;     // switch tokens: at most 49 characters
    static constexpr std::size_t kArgumentBuffer = 260; // arguments: at most 259 characters

    virtual ~CommandLineParser() = default;

    // Parses the line as the system hands it to a graphical program (own name removed).
    bool parse(std::string_view line);

    bool has(const std::string& name) const { return table_.count(name) != 0; }
    // The argument, or "" for a flag switch; nullopt when the switch is absent.
    std::optional<std::string> value(const std::string& name) const;
    const std::string& line() const { return line_; }
    std::size_t size() const { return table_.size(); }

  protected:
    // The token at pos: from the switch character up to a quote, blank or line end.
    virtual std::string extractToken(std::size_t pos) const;
    // The argument of the token that ends at tokenEnd; nextSwitch is the next hit.
    virtual std::string extractArgument(std::size_t tokenEnd, std::size_t nextSwitch) const;
    virtual bool handleSlashSwitch(std::size_t pos, const std::string& token) = 0;
    virtual bool handleDashSwitch(std::size_t pos, const std::string& token) = 0;

    void storeFlag(const std::string& name) { table_[name] = Entry{true, {}}; }
    // Drops the switch when the argument does not fit its buffer (see docs/architecture.md)
    // or holds a line end.
    bool storeArgument(const std::string& name, const std::string& argument);
    std::string argumentAfter(std::size_t pos, const std::string& token) const;

  private:
    struct Entry {
        bool flag = true;
        std::string argument;
    };
    std::string line_;
    std::map<std::string, Entry> table_;
};

// The installer's switches. driveExists answers whether a drive root ("X:\") exists, for
// the short "-v" form.
class InstallerCommandLine : public CommandLineParser {
  public:
    explicit InstallerCommandLine(std::function<bool(const std::string&)> driveExists = {})
        : driveExists_(std::move(driveExists)) {}

  protected:
    bool handleSlashSwitch(std::size_t pos, const std::string& token) override;
    bool handleDashSwitch(std::size_t pos, const std::string& token) override;

  private:
    std::function<bool(const std::string&)> driveExists_;
};

} // namespace zov

namespace zov {

// The command line as a graphical program is handed it: the full process command line
// without the program's own name and the blanks after it.
std::string withoutProgramName(std::string_view fullCommandLine);

} // namespace zov
