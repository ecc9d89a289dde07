#pragma once
// What the script interpreter needs from the thread it runs on (the
// pre-processing thread): the two request flags, asking the user, taking a
// reply message from the thread's own queue, the flashpack set of the last
// extract, and the questions it posts to the user-I/O thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/message.h"

class CPackManager;

class IScriptContext {
 public:
  virtual ~IScriptContext() = default;
  // 1 while a script file from the menu runs (the user may be asked), 0
  // while a remote line runs; copied into the interactive flag of jobs.
  virtual int Interactive() const = 0;
  // 1 normally, 0 while a remote line runs; flag A of script jobs.
  virtual int SecondRequest() const = 0;
  // Shows the prompt of the kind and waits for its answer.
  virtual int AskPrompt(std::int32_t kind) = 0;
  // Takes exactly one message of the number from the thread's own queue,
  // waiting for it; every other message stays queued in order. Empty when
  // the queue closed while waiting.
  virtual std::optional<platform::Message> WaitForReply(std::uint32_t number) = 0;
  // A share of the flashpack set of the last extract (held while it is
  // read, so a new extract cannot free it meanwhile); null when no extract
  // has ended since start.
  virtual std::shared_ptr<CPackManager> SharePackManager() const = 0;
  // Posts a query to the user-I/O thread, which answers with
  // WM_QUERY_REPLY to this thread (a string payload when an answer is
  // wanted). False when it could not be posted.
  virtual bool PostQuery(std::int32_t kind, const std::string& argument, std::int32_t wantReply) = 0;
  // The target of a shell shortcut file, or the path itself.
  virtual std::string ExpandShortcut(const std::string& path) const = 0;
};
