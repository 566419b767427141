#include "flex_adapter.h"

#include <cstring>

namespace {

void swap_bytes(char* text, std::size_t length, char from, char to) {
  for (char* at = text; (at = static_cast<char*>(std::memchr(at, from, length - (at - text)))) != nullptr;) *at++ = to;
}

}  // namespace

FlexAdapter::~FlexAdapter() {
  while (blocks_.next != &blocks_) release(blocks_.next + 1);
}

std::size_t FlexAdapter::read(char* buffer, std::size_t max) {
  const std::size_t got = conversion_.read(buffer, max);
  swap_bytes(buffer, got, '\0', kEndOfText);
  return got;
}

void FlexAdapter::echo(char* text, std::size_t length) {
  swap_bytes(text, length, kEndOfText, '\0');
  conversion_.out().write({text, length});
}

void* FlexAdapter::linked(Block* block) {
  if (!block) return nullptr;
  *block = {&blocks_, blocks_.next};
  blocks_.next->previous = block;
  blocks_.next = block;
  return block + 1;
}

void* FlexAdapter::allocate(std::size_t size) {
  return linked(static_cast<Block*>(conversion_.allocate(sizeof(Block) + size)));
}

void* FlexAdapter::reallocate(void* block, std::size_t size) {
  if (!block) return allocate(size);
  Block* const header = static_cast<Block*>(block) - 1;
  header->previous->next = header->next;
  header->next->previous = header->previous;
  return linked(static_cast<Block*>(conversion_.reallocate(header, sizeof(Block) + size)));
}

void FlexAdapter::release(void* block) {
  if (!block) return;
  Block* const header = static_cast<Block*>(block) - 1;
  header->previous->next = header->next;
  header->next->previous = header->previous;
  Conversion::release(header);
}
