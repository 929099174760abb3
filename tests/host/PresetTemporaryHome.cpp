#include "../unit/PresetScopedHome.h"

#include <gtest/gtest.h>

namespace
{
// Every plug-in instance that any test loads creates the preset folder under the documents
// folder; this keeps all of them inside a temporary home for the whole run.
class TemporaryHomeEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { home = std::make_unique<ScopedTemporaryHome>(); }
    void TearDown() override { home.reset(); }

private:
    std::unique_ptr<ScopedTemporaryHome> home;
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new TemporaryHomeEnvironment);
} // namespace
