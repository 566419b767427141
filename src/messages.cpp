#include "messages.h"

#include <cstring>

namespace messages {

std::string format(std::string_view form, std::initializer_list<std::string_view> values) {
  std::string text;
  const std::string_view* value = values.begin();
  for (std::size_t at; (at = form.find('%')) != std::string_view::npos && value != values.end(); ++value) {
    text.append(form.substr(0, at)).append(*value);
    form.remove_prefix(at + 2);  // %s or %d
  }
  return text.append(form);
}

void write(TextOutput& errors, std::string_view form, std::initializer_list<std::string_view> values) {
  errors.write(format(form, values));
  errors.flush();
}

std::string reason(int error) { return std::strerror(error); }

}  // namespace messages
