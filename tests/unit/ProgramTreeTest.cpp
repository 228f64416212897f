#include <gtest/gtest.h>
#include <stdlib.h>

#include "CsvFormat.h"
#include "ProgramTree.h"

namespace {

TEST(ProgramTree, WithoutATreeEverythingStaysThePortableLayouts) {
    const ProgramTree tree;
    EXPECT_FALSE(tree.HasTree());
    EXPECT_EQ(tree.ProgramPath("/opt/tiltscope/bin/tiltscope"), "/opt/tiltscope/bin/tiltscope");
    EXPECT_EQ(tree.PortsDir(), "../config/ports");
}

TEST(ProgramTree, TheLaunchersTreeStandsInForTheSystemFolder) {
    const ProgramTree tree("/home/ann/.local/share/tiltscope");
    ASSERT_TRUE(tree.HasTree());
    EXPECT_EQ(tree.ProgramPath("/usr/lib/tiltscope/tiltlog"),
              "/home/ann/.local/share/tiltscope/bin/tiltlog");
    EXPECT_EQ(tree.PortsDir(), "/home/ann/.local/share/tiltscope/config/ports");
    EXPECT_EQ(DefaultDataFolder(tree.ProgramPath("/usr/lib/tiltscope/tiltscope")),
              "/home/ann/.local/share/tiltscope/data");
}

TEST(ProgramTree, TrailingSlashesAndDotsAreTidiedAway) {
    EXPECT_EQ(ProgramTree("/home/ann/./tree//").Tree(), "/home/ann/tree");
    EXPECT_EQ(ProgramTree("/").PortsDir(), "/config/ports");
    EXPECT_EQ(ProgramTree("/").ProgramPath("/usr/lib/tiltscope/tiltsim"), "/bin/tiltsim");
}

TEST(ProgramTree, ARelativeOrEmptyTreeIsIgnored) {
    EXPECT_FALSE(ProgramTree("").HasTree());
    EXPECT_FALSE(ProgramTree("home/ann/tree").HasTree());
    EXPECT_EQ(ProgramTree("tree").PortsDir(), "../config/ports");
}

TEST(ProgramTree, TakenFromTheEnvironmentItIsNotPassedOn) {
    ASSERT_EQ(::setenv(ProgramTree::kVariable, "/srv/tilt/tree", 1), 0);
    const ProgramTree tree = ProgramTree::FromEnvironment();
    EXPECT_EQ(tree.Tree(), "/srv/tilt/tree");
    EXPECT_EQ(::getenv(ProgramTree::kVariable), nullptr);
    EXPECT_FALSE(ProgramTree::FromEnvironment().HasTree());
}

}  // namespace
