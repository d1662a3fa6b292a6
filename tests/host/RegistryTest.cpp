// TRegKey's ownership and TRegistry's current key, over the in-memory store.
#include <gtest/gtest.h>

#include "classlib/Exceptions.h"
#include "classlib/Registry.h"
#include "tests/host/RegistryTestDouble.h"

#include <type_traits>
#include <utility>

namespace {

static_assert(!std::is_copy_constructible_v<TRegKey> && !std::is_copy_assignable_v<TRegKey>);
static_assert(std::is_nothrow_move_constructible_v<TRegKey> &&
              std::is_nothrow_move_assignable_v<TRegKey>);
static_assert(!std::is_copy_constructible_v<TRegistry> &&
              !std::is_copy_constructible_v<TRegIniFile>);

TRegKeyHandle Open(TRegistryDouble& Store, const std::string& Path) {
    TRegKeyHandle handle = TRegKeyHandle::None;
    EXPECT_EQ(Store.CreateKey(Reg::CurrentUser, Path, Reg::AllAccess, Reg::NonVolatile, handle),
              Reg::Success);
    return handle;
}

TEST(TRegKey, EachHandleIsClosedOnceWhereverItMoves) {
    TRegistryDouble store;
    {
        TRegKey a(store, Open(store, "A"));
        TRegKey b(std::move(a));
        EXPECT_FALSE(a.IsOpen());
        TRegKey c(store, Open(store, "C"));
        c = std::move(b); // closes C's own key first
        EXPECT_EQ(store.OpenHandles(), 1u);
        auto& self = c;
        c = std::move(self);
        EXPECT_TRUE(c.IsOpen());
        TRegKey d(store, Open(store, "D"));
        d.Close();
        d.Close();
    }
    EXPECT_EQ(store.OpenHandles(), 0u);
    EXPECT_EQ(store.BadCloses(), 0);
}

TEST(TRegistry, AFailedOpenKeepsTheCurrentKey) {
    TRegistryDouble store;
    store.PutValue("Software\\A", "V", {Reg::TypeSz, std::string("a\0", 2)});
    {
        TRegistry reg(store);
        ASSERT_TRUE(reg.OpenKey("Software\\A", false));
        EXPECT_FALSE(reg.OpenKey("Software\\Missing", false));
        EXPECT_FALSE(store.HasKey("Software\\Missing"));
        EXPECT_EQ(reg.ReadString("V"), "a");

        ASSERT_TRUE(reg.OpenKey("Software\\New", true));
        EXPECT_TRUE(store.HasKey("Software\\New"));
        EXPECT_EQ(store.OpenHandles(), 1u) << "the previous key is closed";
    }
    EXPECT_EQ(store.OpenHandles(), 0u);
    EXPECT_EQ(store.BadCloses(), 0);
}

TEST(TRegistry, WithNoKeyOpenNothingReachesTheRoot) {
    TRegistryDouble store;
    store.PutValue("", "V", {Reg::TypeSz, std::string("root\0", 5)});
    TRegistry reg(store);
    EXPECT_FALSE(reg.ValueExists("V"));
    EXPECT_EQ(reg.ReadString("V"), "");
    EXPECT_THROW(reg.WriteString("V", "x"), ERegistryException);
    EXPECT_TRUE(store.Calls().empty());
}

TEST(TRegIniFile, ReadGivesItsDefaultWhenNothingIsThere) {
    TRegistryDouble store;
    const TRegIniFile ini(store, "Software\\X");
    EXPECT_EQ(ini.ReadString("S", "V", "fallback"), "fallback");
    store.PutKey("Software\\X\\S");
    EXPECT_EQ(ini.ReadString("S", "V", "fallback"), "fallback");
    // Present but empty is the value's own text, not the default.
    store.PutValue("Software\\X\\S", "V", {Reg::TypeSz, ""});
    EXPECT_EQ(ini.ReadString("S", "V", "fallback"), "");
}

} // namespace
