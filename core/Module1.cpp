#include "Module1.h"

namespace Module1 {
StoryRecord Story;
}
