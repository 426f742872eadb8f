#include "core/model/LibraryState.hpp"
#include "tests/support/LibraryFixtures.hpp"

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using V = std::vector<std::string>;

TEST(Exhibitions, AddSkipsRepeatsAndUnknownExhibitions) {
  LibraryState s;
  auto id = s.createExhibition("Show", {"a", "b", "a"});
  EXPECT_EQ(s.exhibition(id)->artworkIDs, (V{"a", "b"}));
  s.add({"c", "b", "c", "d"}, id);
  EXPECT_EQ(s.exhibition(id)->artworkIDs, (V{"a", "b", "c", "d"}));
  auto before = s.exhibitions;
  s.add({"x"}, Uuid::random());
  EXPECT_EQ(s.exhibitions, before);
}

TEST(Exhibitions, CreateAlwaysMakesANewOne) {
  LibraryState s;
  auto first = s.createExhibition("Untitled Exhibition", {});
  auto second = s.createExhibition("Untitled Exhibition", {});
  EXPECT_NE(first, second);
  ASSERT_EQ(s.exhibitions.size(), 2u);
  EXPECT_TRUE(s.exhibition(first)->artworkIDs.empty());
  EXPECT_FALSE(s.activeExhibition);
  EXPECT_EQ(s.exhibition(Uuid::random()), nullptr);
}

TEST(Exhibitions, MoveRemoveAndDelete) {
  LibraryState s;
  auto id = s.createExhibition("Show", {"A", "B", "C", "D"});
  auto moved = [&](std::optional<std::string> before) {
    s.exhibition(id)->artworkIDs = {"A", "B", "C", "D"};
    s.move({"A", "C", "Z"}, id, before);
    return s.exhibition(id)->artworkIDs;
  };
  EXPECT_EQ(moved("D"), (V{"B", "A", "C", "D"}));
  EXPECT_EQ(moved("B"), (V{"A", "C", "B", "D"}));
  EXPECT_EQ(moved(std::nullopt), (V{"B", "D", "A", "C"}));
  EXPECT_EQ(moved("A"), (V{"B", "D", "A", "C"}));
  EXPECT_EQ(moved("nowhere"), (V{"B", "D", "A", "C"}));
  // A drop that repeats a work moves it once.
  s.exhibition(id)->artworkIDs = {"A", "B", "C", "D"};
  s.move({"D", "D", "A", "D"}, id, "B");
  EXPECT_EQ(s.exhibition(id)->artworkIDs, (V{"D", "A", "B", "C"}));
  s.exhibition(id)->artworkIDs = {"B", "D", "A", "C"};

  s.remove({"Q"}, id);
  EXPECT_EQ(s.exhibition(id)->artworkIDs, (V{"B", "D", "A", "C"}));
  s.remove({"A", "B", "C", "D"}, id);
  ASSERT_NE(s.exhibition(id), nullptr);
  EXPECT_TRUE(s.exhibition(id)->artworkIDs.empty());

  auto other = s.createExhibition("Other", {});
  s.activeExhibition = id;
  s.deleteExhibition(other);
  EXPECT_EQ(s.activeExhibition, id);
  s.deleteExhibition(Uuid::random());
  EXPECT_EQ(s.exhibitions.size(), 1u);
  s.deleteExhibition(id);
  EXPECT_FALSE(s.activeExhibition);
  EXPECT_TRUE(s.exhibitions.empty());
}

TEST(Exhibitions, ShownOnlyWhileOneWorkIsVisible) {
  LibraryState s;
  auto a = testsupport::work("1", "A");
  testsupport::hold(s, testsupport::wallet(), {a});
  s.settings.rotationOrder = PlaybackOrder::shuffle;
  auto id = s.createExhibition("Show", {a.id});
  s.activeExhibition = id;
  EXPECT_EQ(s.shownExhibition(), s.exhibition(id));
  EXPECT_EQ(s.rotationOrder(), PlaybackOrder::sequential);
  s.hiddenArtworks.insert(a.id);
  EXPECT_EQ(s.shownExhibition(), nullptr);
  EXPECT_EQ(s.rotationOrder(), PlaybackOrder::shuffle);
  EXPECT_EQ(s.activeExhibition, id);  // comes back when the work does
  s.hiddenArtworks.clear();
  s.activeExhibition = Uuid::random();
  EXPECT_EQ(s.shownExhibition(), nullptr);
  EXPECT_EQ(s.rotationOrder(), PlaybackOrder::shuffle);
}

TEST(Exhibitions, DecodingRequiresEveryKey) {
  auto ok = Exhibition::fromJson(json::Json::parse(R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","title":"",)"
                                                   R"("artworkIDs":["a"]})"));
  EXPECT_EQ(ok.toJson().dump(), R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","title":"","artworkIDs":["a"]})");
  EXPECT_THROW(Exhibition::fromJson(json::Json::parse(R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","title":"t"})")),
               json::DecodeError);
  EXPECT_THROW(Exhibition::fromJson(json::Json::parse(R"({"id":"nope","title":"t","artworkIDs":[]})")),
               json::DecodeError);
  EXPECT_THROW(Exhibition::fromJson(json::Json::parse(
                   R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","title":3,"artworkIDs":[]})")),
               json::DecodeError);
}

}  // namespace
}  // namespace tavolune
