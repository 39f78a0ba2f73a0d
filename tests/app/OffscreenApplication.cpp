// Every widget test runs inside one application object on Qt's offscreen
// platform, made before the first test and kept until the last.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "TarvelApplication.h"

namespace {

class OffscreenApplication : public ::testing::Environment {
public:
    void SetUp() override {
#ifdef TARVEL_SCREEN_CONFIG
        // A screen of the density the file gives, seen unscaled by the toolkit.
        ::setenv("QT_QPA_PLATFORM", "offscreen:configfile=" TARVEL_SCREEN_CONFIG, 1);
        ::setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
#else
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
#endif
        m_application = std::make_unique<tarvel::TarvelApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_application.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "app_tests";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<tarvel::TarvelApplication> m_application;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new OffscreenApplication);

}  // namespace
