#include "messages.h"

#include <cstring>

namespace messages {

void write(TextOutput& errors, std::string_view form, std::initializer_list<std::string_view> values) {
  const std::string_view* value = values.begin();
  for (std::size_t at; (at = form.find('%')) != std::string_view::npos && value != values.end(); ++value) {
    errors.write(form.substr(0, at));
    errors.write(*value);
    form.remove_prefix(at + 2);  // %s or %d
  }
  errors.write(form);
  errors.flush();
}

std::string_view reason(int error) { return std::strerror(error); }

}  // namespace messages
