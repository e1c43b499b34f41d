#include <gtest/gtest.h>

#include "TempDir.h"
#include "runs/RotorTable.h"

namespace corvane {
namespace {

TEST(RotorTable, ListsTheFourManufacturersWithTheirModelsInOrder) {
    ASSERT_EQ(RotorTable::manufacturerCount(), 4);
    EXPECT_EQ(RotorTable::manufacturerName(0), "Beckman");
    EXPECT_EQ(RotorTable::manufacturerName(1), "Sorvall/Thermo/Fisher");
    EXPECT_EQ(RotorTable::manufacturerName(2), "Hitachi");
    EXPECT_EQ(RotorTable::manufacturerName(3), "Kendro");
    EXPECT_EQ(RotorTable::models(0).size(), 11U);
    EXPECT_EQ(RotorTable::models(1).size(), 10U);
    EXPECT_EQ(RotorTable::models(2).size(), 15U);
    EXPECT_EQ(RotorTable::models(3).size(), 5U);
    EXPECT_TRUE(RotorTable::models(-1).empty());
    // The per-rotor keys store these indexes: the order is the users' data.
    EXPECT_EQ(RotorTable::modelName(0, 4), "SW41Ti");
    EXPECT_EQ(RotorTable::modelName(1, 7), "RP55S");
    EXPECT_EQ(RotorTable::modelName(1, 8), "");
    EXPECT_EQ(RotorTable::modelName(1, 9), "");
    EXPECT_EQ(RotorTable::modelName(2, 14), "RPS5S");
    EXPECT_EQ(RotorTable::modelName(3, 5), "");
    for (int m = 0; m < RotorTable::manufacturerCount(); ++m) {
        for (const auto name : RotorTable::models(m)) {
            EXPECT_LT(name.size(), RotorTable::kNameSlot) << name;
        }
    }
}

TEST(RotorTable, FindsNamesExactlyAndNeverAnEmptyOne) {
    EXPECT_EQ(RotorTable::findManufacturer("Hitachi"), 2);
    EXPECT_EQ(RotorTable::findManufacturer("hitachi"), -1);
    EXPECT_EQ(RotorTable::findManufacturer(""), -1);
    EXPECT_EQ(RotorTable::findModel(2, "RPS40"), 11);
    EXPECT_EQ(RotorTable::findModel(2, "RPS40T"), 6);
    EXPECT_EQ(RotorTable::findModel(0, "RPS40"), -1);
    EXPECT_EQ(RotorTable::findModel(1, ""), -1);
    EXPECT_EQ(RotorTable::findModel(-1, "SW28"), -1);
}

TEST(RotorTable, GeometryFromRotorsFileWithItsDefaults) {
    test::TempDir dir;
    const auto rotors = dir.write("rotors.txt",
                                  "Beckman\n"
                                  "SW41Ti 20.0 109.0 0.148\n"
                                  "SW28 0 95.5 0.2\n"
                                  "SW32 12.5 100 0\n"
                                  "SW50.1 7\n"
                                  "Sorvall/Thermo/Fisher\n"
                                  "SureSpin 630/38 10 90 0.25\n"
                                  "Volumes\nA_Volume 38.5\n");
    auto g = RotorTable::lookupGeometry(rotors, "Beckman", "SW41Ti");
    ASSERT_TRUE(g);
    EXPECT_DOUBLE_EQ(g->top, 20.0);
    EXPECT_DOUBLE_EQ(g->tubeLength, 89.0);
    EXPECT_DOUBLE_EQ(g->volumePerMm, 0.148);
    // A top of 0 leaves the second number as the length.
    g = RotorTable::lookupGeometry(rotors, "Beckman", "SW28");
    ASSERT_TRUE(g);
    EXPECT_DOUBLE_EQ(g->tubeLength, 95.5);
    // A volume per mm of 0 is the default tube's.
    g = RotorTable::lookupGeometry(rotors, "Beckman", "SW32");
    ASSERT_TRUE(g);
    EXPECT_DOUBLE_EQ(g->tubeLength, 87.5);
    EXPECT_DOUBLE_EQ(g->volumePerMm, 0.143);
    // Missing numbers read as 0.
    g = RotorTable::lookupGeometry(rotors, "Beckman", "SW50.1");
    ASSERT_TRUE(g);
    EXPECT_DOUBLE_EQ(g->top, 7.0);
    EXPECT_DOUBLE_EQ(g->tubeLength, 0.0);
    EXPECT_DOUBLE_EQ(g->volumePerMm, 0.143);
    // A model name with a blank in it.
    g = RotorTable::lookupGeometry(rotors, "Sorvall/Thermo/Fisher", "SureSpin 630/38");
    ASSERT_TRUE(g);
    EXPECT_DOUBLE_EQ(g->tubeLength, 80.0);
    // The empty list entries, a model without a line, a missing file.
    EXPECT_FALSE(RotorTable::lookupGeometry(rotors, "Sorvall/Thermo/Fisher", RotorTable::modelName(1, 8)));
    EXPECT_FALSE(RotorTable::lookupGeometry(rotors, "Kendro", "TST55.5"));
    EXPECT_FALSE(RotorTable::lookupGeometry(dir.path() / "none.txt", "Beckman", "SW41Ti"));
}

// The rotors.txt installed with the program describes every rotor of the lists.
TEST(RotorTable, TheInstalledRotorsFileHasAGeometryForEveryListedModel) {
    const auto rotors = std::filesystem::path(CORVANE_FIXTURES_DIR) / ".." / ".." / "resources" / "rotors.txt";
    for (int m = 0; m < RotorTable::manufacturerCount(); ++m) {
        for (const auto model : RotorTable::models(m)) {
            if (model.empty()) continue;
            const auto g = RotorTable::lookupGeometry(rotors, RotorTable::manufacturerName(m), model);
            ASSERT_TRUE(g) << model;
            EXPECT_GT(g->tubeLength, 0.0) << model;
            EXPECT_GT(g->volumePerMm, 0.0) << model;
        }
    }
}

}  // namespace
}  // namespace corvane
