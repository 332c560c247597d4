#include "findings/model_filter.h"

#include <cstring>

namespace findings {
namespace {

constexpr char kSupportedModels[][10] = {"ZTL-BR720", "ZTL-BR710"};

}  // namespace

bool IsSupportedModel(const char* name) {
    if (!name) return false;
    for (const char* model : kSupportedModels) {
        if (std::strstr(name, model)) return true;
    }
    return false;
}

}  // namespace findings
