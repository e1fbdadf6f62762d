// Installed clients: where they are and which one may be upgraded.
#pragma once

#include "app/context.h"
#include "app/session.h"

#include <optional>
#include <string>

namespace zov {

class ClientScanner {
  public:
    ClientScanner(RunContext& run, InstallSession& session) : run_(run), session_(session) {}

    std::optional<std::string> FindLastRegisteredClient();
    bool TestClientFolder(const std::string& folder, bool writeCache);
    // The registered client's folder, when there is one.
    std::optional<std::string> CheckRegisteredClient();
    // Fills the upgrade texts and the old language and country from the client's database.
    void ReadUpgradeClient(const std::string& folder);
    void freeClientList();

  private:
    RunContext& run_;
    InstallSession& session_;
};

} // namespace zov
