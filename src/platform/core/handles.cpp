// Integer handles for objects.
#include <memory>
#include <unordered_map>

#include "platform/platform.h"

namespace {

struct Entry {
  std::shared_ptr<void> object;
  handle_detail::TypeTag tag;
};

struct HandleTable {
  int next = 1;
  std::unordered_map<int, Entry> byHandle;
  std::unordered_map<const void*, int> byAddress;
};

HandleTable& Table() {
  static HandleTable table;
  return table;
}

}  // namespace

namespace handle_detail {

int Register(const std::shared_ptr<void>& object, TypeTag tag) {
  if (!object) return 0;
  HandleTable& t = Table();
  // The table holds every registered object, so an address in byAddress
  // always belongs to the live object it was registered for.
  auto found = t.byAddress.find(object.get());
  if (found != t.byAddress.end()) return found->second;
  if (t.next <= 0) return 0;  // all 2^31 - 1 numbers used up
  const int handle = t.next++;
  t.byHandle.emplace(handle, Entry{object, tag});
  t.byAddress.emplace(object.get(), handle);
  return handle;
}

std::shared_ptr<void> Lookup(int handle, TypeTag tag) {
  HandleTable& t = Table();
  auto found = t.byHandle.find(handle);
  if (found == t.byHandle.end() || found->second.tag != tag) return nullptr;
  return found->second.object;
}

}  // namespace handle_detail

int HandleFromObject(const std::shared_ptr<void>& object) {
  return handle_detail::Register(object, &handle_detail::kTypeTag<void>);
}

std::shared_ptr<void> HandleToObjectRaw(int handle) {
  HandleTable& t = Table();
  auto found = t.byHandle.find(handle);
  return found == t.byHandle.end() ? nullptr : found->second.object;
}

void ReleaseHandle(int handle) {
  HandleTable& t = Table();
  auto found = t.byHandle.find(handle);
  if (found == t.byHandle.end()) return;
  t.byAddress.erase(found->second.object.get());
  t.byHandle.erase(found);
}
