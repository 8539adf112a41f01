#pragma once

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

// QProcess wants a Qt application object.
class QtCoreEnvironment : public testing::Environment {
public:
    void SetUp() override { m_app = std::make_unique<QCoreApplication>(m_argc, m_argv); }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[8] = "test";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QCoreApplication> m_app;
};

inline const testing::Environment* const qtCoreEnvironment =
    testing::AddGlobalTestEnvironment(new QtCoreEnvironment);
