#include "discovery/scanner.h"

namespace zov {

std::optional<std::string> ClientScanner::FindLastRegisteredClient() {
    return std::nullopt;
}

bool ClientScanner::TestClientFolder(const std::string&, bool) {
    return false;
}

std::optional<std::string> ClientScanner::CheckRegisteredClient() {
    return std::nullopt;
}

void ClientScanner::ReadUpgradeClient(const std::string&) {}

void ClientScanner::freeClientList() {}

} // namespace zov
