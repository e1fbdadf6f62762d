#include "sim/sim_registry.h"

#include "sim/sim_files.h"

#include <algorithm>

namespace zov::sim {
namespace {

std::vector<std::string> splitKey(const std::string& key) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= key.size()) {
        std::size_t end = key.find('\\', start);
        if (end == std::string::npos)
            end = key.size();
        if (end > start)
            parts.push_back(key.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

SimRegistry::Key* child(SimRegistry::Key& key, const std::string& name) {
    for (auto& c : key.children)
        if (equalsNoCase(c->name, name))
            return c.get();
    return nullptr;
}

SimRegistry::Value* findValue(SimRegistry::Key& key, const std::string& name) {
    for (auto& v : key.values)
        if (equalsNoCase(v.name, name))
            return &v;
    return nullptr;
}

} // namespace

SimRegistry::SimRegistry() = default;

bool SimRegistry::locked(RegRoot root, const std::string& key) const {
    std::vector<std::string> wanted = splitKey(key);
    for (const auto& [r, k] : lockedKeys) {
        if (r != root)
            continue;
        std::vector<std::string> parts = splitKey(k);
        if (parts.size() == wanted.size() &&
            std::equal(parts.begin(), parts.end(), wanted.begin(), equalsNoCase))
            return true;
    }
    return false;
}

SimRegistry::Key* SimRegistry::open(RegRoot root, const std::string& key) {
    if (locked(root, key))
        return nullptr;
    Key* k = &rootKey(root);
    for (const std::string& part : splitKey(key)) {
        k = child(*k, part);
        if (!k)
            return nullptr;
    }
    return k;
}

SimRegistry::Key* SimRegistry::openOrCreate(RegRoot root, const std::string& key) {
    Key* k = &rootKey(root);
    for (const std::string& part : splitKey(key)) {
        Key* next = child(*k, part);
        if (!next) {
            k->children.push_back(std::make_unique<Key>());
            next = k->children.back().get();
            next->name = part;
        }
        k = next;
    }
    return k;
}

void SimRegistry::createKey(RegRoot root, const std::string& key) {
    openOrCreate(root, key);
}

void SimRegistry::setString(RegRoot root, const std::string& key, const std::string& value,
                            const std::string& text) {
    Key* k = openOrCreate(root, key);
    Value* v = findValue(*k, value);
    if (!v) {
        k->values.push_back({value, false, "", 0});
        v = &k->values.back();
    }
    v->isDword = false;
    v->text = text;
}

void SimRegistry::setDword(RegRoot root, const std::string& key, const std::string& value,
                           std::uint32_t number) {
    Key* k = openOrCreate(root, key);
    Value* v = findValue(*k, value);
    if (!v) {
        k->values.push_back({value, true, "", 0});
        v = &k->values.back();
    }
    v->isDword = true;
    v->number = number;
}

bool SimRegistry::removeKey(RegRoot root, const std::string& key) {
    std::vector<std::string> parts = splitKey(key);
    if (parts.empty())
        return false;
    Key* parent = &rootKey(root);
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        parent = child(*parent, parts[i]);
        if (!parent)
            return false;
    }
    auto& kids = parent->children;
    auto it = std::find_if(kids.begin(), kids.end(),
                           [&](const auto& c) { return equalsNoCase(c->name, parts.back()); });
    if (it == kids.end())
        return false;
    kids.erase(it);
    return true;
}

bool SimRegistry::valueExists(RegRoot root, const std::string& key, const std::string& value) {
    Key* k = open(root, key);
    return k && findValue(*k, value);
}

std::optional<std::vector<SimRegistry::Value>> SimRegistry::valuesOf(RegRoot root, const std::string& key) {
    Key* k = open(root, key);
    if (!k)
        return std::nullopt;
    return k->values;
}

bool SimRegistry::keyExists(RegRoot root, const std::string& key) {
    return open(root, key) != nullptr;
}

std::optional<std::string> SimRegistry::readString(RegRoot root, const std::string& key,
                                                   const std::string& value, std::size_t maxBytes) {
    Key* k = open(root, key);
    if (!k)
        return std::nullopt;
    Value* v = findValue(*k, value);
    if (!v || v->isDword || v->text.size() + 1 > maxBytes)
        return std::nullopt;
    return v->text;
}

std::optional<std::uint32_t> SimRegistry::readDword(RegRoot root, const std::string& key,
                                                    const std::string& value) {
    Key* k = open(root, key);
    if (!k)
        return std::nullopt;
    Value* v = findValue(*k, value);
    if (!v || !v->isDword)
        return std::nullopt;
    return v->number;
}

std::optional<std::vector<std::string>> SimRegistry::subKeys(RegRoot root, const std::string& key) {
    Key* k = open(root, key);
    if (!k)
        return std::nullopt;
    std::vector<std::string> names;
    for (const auto& c : k->children)
        names.push_back(c->name);
    return names;
}

bool SimRegistry::deleteValue(RegRoot root, const std::string& key, const std::string& value) {
    Key* k = open(root, key);
    if (!k)
        return false;
    auto it = std::find_if(k->values.begin(), k->values.end(),
                           [&](const Value& v) { return equalsNoCase(v.name, value); });
    if (it == k->values.end())
        return false;
    k->values.erase(it);
    return true;
}

} // namespace zov::sim
