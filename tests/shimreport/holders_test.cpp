// Tests of the context and database holders.
#include <stdexcept>

#include <gtest/gtest.h>

#include "../../shimreport/context_handle_holder.h"
#include "../../shimreport/database_handle_holder.h"
#include "fake_shim_engine.h"

namespace {

class Holders : public ::testing::Test {
protected:
    void SetUp() override { InstallFakeEngine(); }
};

TEST_F(Holders, NullContextIsNeverReleased) {
    { ContextHandleHolder context(nullptr); }
    EXPECT_EQ(0, Fake.releaseCalls);
}

TEST_F(Holders, ContextIsReleasedOnceOnEveryWayOut) {
    {
        ContextHandleHolder context(Fake.context);
        context.Release();
        EXPECT_EQ(nullptr, context.Handle());
    }
    EXPECT_EQ(1, Fake.releaseCalls);

    try {
        ContextHandleHolder context(Fake.context);
        throw std::runtime_error("leaving");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(2, Fake.releaseCalls);
    EXPECT_EQ(Fake.context, Fake.releasedContext);
}

TEST_F(Holders, OnlyAnOwnedDatabaseIsClosedAndOnlyOnce) {
    {
        DatabaseHandleHolder database;
        database.Take(Fake.database, true);
    }
    EXPECT_EQ(0, Fake.closeCalls);
    {
        DatabaseHandleHolder database;
        database.Take(Fake.database, false);
        database.Take(Fake.database, true); // closes the owned one before borrowing
        EXPECT_EQ(1, Fake.closeCalls);
        database.Take(Fake.database, false);
        database.Release();
        EXPECT_EQ(nullptr, database.Handle());
    }
    EXPECT_EQ(2, Fake.closeCalls);
}

TEST_F(Holders, MissingReleaseEntriesAreNotCalled) {
    ApphelpApi.SdbReleaseDatabase = nullptr;
    ApphelpApi.SdbCloseDatabase = nullptr;
    ContextHandleHolder context(Fake.context);
    DatabaseHandleHolder database;
    database.Take(Fake.database, false);
}

} // namespace
