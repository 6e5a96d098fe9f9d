// The screen review (being written): for now a visit ends at once.
#include "console/review.h"

namespace console {

namespace {
std::string searchText;
}

void ScreenReview() {}

const std::string& ReviewSearchText() { return searchText; }

}  // namespace console
