// The simulated registry: HKLM and HKCU trees with names compared without regard to
// letter case, string and DWORD values, and sub-keys enumerated in insertion order.
#pragma once

#include "platform/ports.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zov::sim {

class SimRegistry : public Registry {
  public:
    struct Value {
        std::string name;
        bool isDword = false;
        std::string text;
        std::uint32_t number = 0;
    };
    struct Key {
        std::string name;
        std::vector<Value> values;
        std::vector<std::unique_ptr<Key>> children;
    };

    SimRegistry();

    // --- helpers for tests (create missing keys on the way) ---------------------------
    void createKey(RegRoot root, const std::string& key);
    void setString(RegRoot root, const std::string& key, const std::string& value, const std::string& text);
    void setDword(RegRoot root, const std::string& key, const std::string& value, std::uint32_t number);
    // Removes a key with everything below it; false when it did not exist.
    bool removeKey(RegRoot root, const std::string& key);
    bool valueExists(RegRoot root, const std::string& key, const std::string& value);
    // The values of a key in insertion order; nullopt when it does not exist or is locked.
    std::optional<std::vector<Value>> valuesOf(RegRoot root, const std::string& key);
    // Keys that exist but cannot be opened (access denied): every read of them fails.
    std::vector<std::pair<RegRoot, std::string>> lockedKeys;

    // --- Registry ---------------------------------------------------------------------
    bool keyExists(RegRoot root, const std::string& key) override;
    // A value longer than maxBytes - 1 characters cannot be read (ERROR_MORE_DATA).
    std::optional<std::string> readString(RegRoot root, const std::string& key, const std::string& value,
                                          std::size_t maxBytes = 260) override;
    std::optional<std::uint32_t> readDword(RegRoot root, const std::string& key,
                                           const std::string& value) override;
    std::optional<std::vector<std::string>> subKeys(RegRoot root, const std::string& key) override;
    bool deleteValue(RegRoot root, const std::string& key, const std::string& value) override;

  private:
    Key* open(RegRoot root, const std::string& key);
    Key* openOrCreate(RegRoot root, const std::string& key);
    Key& rootKey(RegRoot root) { return root == RegRoot::LocalMachine ? hklm_ : hkcu_; }
    bool locked(RegRoot root, const std::string& key) const;

    Key hklm_, hkcu_;
};

} // namespace zov::sim
