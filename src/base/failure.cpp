#include "failure.h"

namespace kelvora {

Failure::Failure(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}

} // namespace kelvora
