// Sending a replay to a world list over HTTP (docs/server.md).
#include <httplib.h>

#include <nlohmann/json.hpp>
#include <random>

#include "platform/core/files.h"
#include "platform/core/system.h"
#include "replay.h"
#include "send/send_run.h"

namespace world {

namespace {

// The key of this game folder's runs: read, or made and kept.
std::string Key() {
  const std::string path = plat::GameFilesFolder() + kKeyFile;
  if (plat::FileExists(path)) {
    std::string key = plat::ReadWholeFile(path, 256);
    while (!key.empty() && (key.back() == '\n' || key.back() == '\r')) key.pop_back();
    if (!key.empty()) return key;
  }
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  std::random_device random;
  std::string key;
  for (int i = 0; i < 32; ++i) key += kLetters[random() % 64];
  plat::SaveFile(path, key + "\n");
  return key;
}

}  // namespace

int SendRun(const std::string& file, const std::string& server, const char* title) {
  if (server.empty()) {
    plat::TellUser(title, "kelo: no world list is known yet: name one with --server URL\n", true);
    return 2;
  }
  std::string bytes, key;
  try {
    bytes = plat::ReadWholeFile(file, replay::kMostFileBytes);
    replay::Decode(bytes);
    key = Key();
  } catch (const std::exception& e) {
    plat::TellUser(title, "kelo: " + file + ": " + e.what() + "\n", true);
    return 2;
  }
  httplib::Client client(server);
  client.set_connection_timeout(10, 0);
  client.set_read_timeout(60, 0);
  const httplib::Result r = client.Post("/api/runs", httplib::Headers{{"X-Kelo-Key", key}}, bytes,
                                        "application/octet-stream");
  if (!r) {
    plat::TellUser(title, "kelo: the world list at " + server + " cannot be reached (" + httplib::to_string(r.error()) +
                              ")\n", true);
    return 1;
  }
  const nlohmann::json answer = nlohmann::json::parse(r->body, nullptr, false);
  if (r->status != 200 && r->status != 201) {
    const std::string why = answer.is_object() ? answer.value("reason", r->body) : r->body;
    plat::TellUser(title, "kelo: the world list refused the run (HTTP " + std::to_string(r->status) + "): " + why + "\n",
                   true);
    return 1;
  }
  if (!answer.is_object() || !answer.contains("rank")) {
    plat::TellUser(title, "kelo: the world list answered in a way this game does not read\n", true);
    return 1;
  }
  plat::TellUser(title,
                 std::string(r->status == 201 ? "sent" : "already on the list") + ": place " +
                     std::to_string(answer.value("rank", 0)) + " of " +
                     replay::DifficultyName(answer.value("difficulty", 1)) + ", " +
                     std::to_string(answer.value("score", 0)) + " points, " + std::to_string(answer.value("hits", 0)) +
                     " hits (run " + std::to_string(answer.value("id", 0)) + ", " + server + "/api/runs/" +
                     std::to_string(answer.value("id", 0)) + ")\n",
                 false);
  return 0;
}

}  // namespace world
