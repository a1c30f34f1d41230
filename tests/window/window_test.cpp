// The window at start-up, shutdown, the tree list, the general rule for unexpected errors and
// the browse control, on a small simulated network.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <stdexcept>

#include "netware/sim/sim_network.h"
#include "support/window_scene.h"

namespace {

using app::Form1;
using app::MsgIcon;
using testing_support::ShownMessage;

const std::string kNetwork = testing_support::TestData("window_network.json");
constexpr const char* kAcme = R"(NDS:\\ACME_TREE\ACME)";

// The simulated network, counting client calls; its tree list can be replaced or made to fail.
class TestPlatform : public testing_support::HookedPlatform, public nw::NWSession {
 public:
  explicit TestPlatform(const std::filesystem::path& folder)
      : testing_support::HookedPlatform(sim::OpenNetwork(folder)) {}
  std::optional<std::vector<std::string>> trees;  // instead of the workstation's
  std::function<void()> onTrees;                  // runs inside Trees(); may throw
  int treeCalls = 0;

  nw::NWSession& Session() override { return *this; }
  std::vector<nw::NWTree> Trees() override {
    ++treeCalls;
    if (onTrees) onTrees();
    if (!trees) return Inner().Trees();
    std::vector<nw::NWTree> result;
    for (const auto& t : *trees) result.push_back({t});
    return result;
  }
  std::vector<nw::NWDriveMapping> DriveMappings() override { return Inner().DriveMappings(); }
  nw::NWDriveMapping MapDrive(std::string& d, std::string& p, bool f) override {
    return Inner().MapDrive(d, p, f);
  }
  bool UnmapDrive(const std::string& letter) override { return Inner().UnmapDrive(letter); }

 private:
  nw::NWSession& Inner() { return testing_support::HookedPlatform::Session(); }
};

class WindowTest : public ::testing::Test, protected testing_support::WindowScene {
 protected:
  WindowTest() : WindowScene(kNetwork) {
    auto made = std::make_unique<TestPlatform>(network.path());
    test = made.get();
    platform = std::move(made);
  }
  Form1& Window() { return Build(); }
  Form1& Shown() {
    Form1& w = Build();
    EXPECT_TRUE(w.Form_Load());
    Show();
    return w;
  }
  std::vector<std::string> Trees() {
    std::vector<std::string> items;
    for (int i = 0; i < form->Combo2->count(); ++i) {
      items.push_back(form->Combo2->itemText(i).toStdString());
    }
    return items;
  }

  TestPlatform* test = nullptr;
};

TEST_F(WindowTest, StartUpListsTheTreesInTheWorkstationsOrderWithNoneChosen) {
  Form1& w = Window();
  std::vector<std::string> statusWhileBuilding;
  test->onTrees = [&] { statusWhileBuilding.push_back(w.Status()); };

  ASSERT_TRUE(w.Form_Load());

  EXPECT_EQ(Trees(), (std::vector<std::string>{"ZED_TREE", "ACME_TREE"}));
  EXPECT_EQ(w.Combo2->currentIndex(), -1);
  EXPECT_EQ(statusWhileBuilding,
            std::vector<std::string>{"Building list of all valid volume objects"});
  EXPECT_EQ(w.Status(), "");
  EXPECT_EQ(w.NWBrowse1->topLevelItemCount(), 0);
  EXPECT_EQ(test->Counter().calls, (std::map<std::string, long>{{"NWCallsInit", 1}}));
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_FALSE(w.Ended());
}

TEST_F(WindowTest, CentresInTwipsKeepingHalvesAndNegatives) {
  struct Case {
    double dpi;
    QSizeF screenTwips;
    QSize windowPixels;
    float top, left;
  } cases[] = {
      {96, {4000, 3000}, {400, 401}, -1507.5f, -1000.0f},  // taller than the screen
      {144, {9001, 9001}, {600, 601}, 1495.5f, 1500.5f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.top);
    form.reset();
    desktop.dpi = c.dpi;
    desktop.screenTwips = c.screenTwips;
    Window().setFixedSize(c.windowPixels);
    ASSERT_TRUE(form->Form_Load());
    EXPECT_EQ(form->TopTwips, c.top);
    EXPECT_EQ(form->LeftTwips, c.left);
    const double twipsPerPixel = 1440.0 / c.dpi;
    EXPECT_EQ(form->pos(), QPoint(static_cast<int>(std::lround(c.left / twipsPerPixel)),
                                  static_cast<int>(std::lround(c.top / twipsPerPixel))));
  }
}

// A second instance ends start-up with a message before any client call, and no handler runs.
TEST_F(WindowTest, ASecondInstanceEndsStartUp) {
  desktop.previousInstance = true;
  Form1& w = Window();
  w.show();
  EXPECT_FALSE(w.Form_Load());
  EXPECT_EQ(desktop.messages,
            (std::vector<ShownMessage>{{"Application already running", MsgIcon::None, "Tolvane"}}));
  EXPECT_TRUE(desktop.endedWith.has_value());
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(test->Counter().Total(), 0);
  QTest::mouseClick(w.Command3, Qt::LeftButton);
  EXPECT_EQ(test->treeCalls, 0);
}

TEST_F(WindowTest, RefreshTreesRelistsTheTreesAndKeepsTheVolume) {
  Form1& w = Shown();
  ChooseTree("ACME_TREE");
  ClickEntry(R"(NDS:\\ACME_TREE\ACME\SALES\FS1_DATA)");
  ASSERT_EQ(w.SelectedVolume, "FS1_DATA");

  test->trees = std::vector<std::string>{"NEW_TREE", "ACME_TREE"};
  QTest::mouseClick(w.Command3, Qt::LeftButton);
  EXPECT_EQ(Trees(), (std::vector<std::string>{"NEW_TREE", "ACME_TREE"}));
  EXPECT_EQ(w.Combo2->currentIndex(), -1);
  EXPECT_EQ(w.SelectedVolume, "FS1_DATA");
  EXPECT_TRUE(w.Command1->isEnabled());
  EXPECT_EQ(w.NWBrowse1->SelectedEntries().size(), 1u);

  test->trees = std::vector<std::string>{};
  QTest::mouseClick(w.Command3, Qt::LeftButton);
  EXPECT_EQ(w.Combo2->count(), 0);
  EXPECT_EQ(w.Status(), "");
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(WindowTest, ExitAndClosingEndTheProgramWithoutAClientCall) {
  for (bool byMenu : {true, false}) {
    SCOPED_TRACE(byMenu ? "E&xit" : "closing the window");
    form.reset();
    Form1& w = Shown();
    const long callsBefore = test->Counter().Total();
    if (byMenu) {
      w.Exit->trigger();
    } else {
      w.close();
    }
    EXPECT_EQ(desktop.endedWith, 0);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(test->Counter().Total(), callsBefore);
    EXPECT_TRUE(desktop.messages.empty());
  }
}

TEST_F(WindowTest, AnUnhandledFailureIsShownAndEndsTheProgram) {
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[] { throw std::runtime_error("The network store is damaged"); },
       "The network store is damaged"},
      {[] { throw 42; }, "Unexpected error"},
  };
  for (const auto& [fail, shown] : cases) {
    SCOPED_TRACE(shown);
    form.reset();
    desktop.messages.clear();
    test->onTrees = nullptr;
    Form1& w = Shown();
    test->onTrees = fail;
    desktop.busy = true;  // a failing command may leave the hourglass behind
    QTest::mouseClick(w.Command3, Qt::LeftButton);
    EXPECT_EQ(desktop.messages, (std::vector<ShownMessage>{{shown, MsgIcon::Critical, "Tolvane"}}));
    EXPECT_FALSE(desktop.busyDuringLastMessage);
    EXPECT_EQ(desktop.endedWith, 1);
    EXPECT_FALSE(w.isVisible());
    // The program is over: no further handler runs.
    const int treeCalls = test->treeCalls;
    QTest::mouseClick(w.Command3, Qt::LeftButton);
    EXPECT_EQ(test->treeCalls, treeCalls);
  }
  // The same rule holds during start-up.
  form.reset();
  desktop.messages.clear();
  test->onTrees = [] { throw std::runtime_error("The network store is locked"); };
  bool finished = false;
  Window().RunGuarded([&] {
    form->Form_Load();
    finished = true;
  });
  EXPECT_FALSE(finished);
  EXPECT_EQ(desktop.MessageTexts(), std::vector<std::string>{"The network store is locked"});
}

// ---- the browse control on its own ----

// The simulated directory control, recording what it is asked to read; can be made to fail.
class ReadingDirectory : public nw::NWDirectory {
 public:
  explicit ReadingDirectory(std::unique_ptr<nw::NWDirectory> inner) : inner_(std::move(inner)) {}
  std::vector<std::string> read;
  std::string failOn;

  void SearchObjects(const std::string&, const std::string&, std::int32_t, const std::string&,
                     std::int32_t) override {}
  std::vector<nw::NWDirEntry> Children(const std::string& fullName) override {
    read.push_back(fullName);
    if (fullName == failOn) throw std::runtime_error("The directory cannot be read");
    inner_->Filter = Filter;
    return inner_->Children(fullName);
  }

 private:
  std::unique_ptr<nw::NWDirectory> inner_;
};

class BrowseTest : public ::testing::Test {
 protected:
  BrowseTest() {
    sim::LoadNetworkJson(network.path(), kNetwork);
    platform = sim::OpenNetwork(network.path());
    directory = std::make_unique<ReadingDirectory>(platform->CreateDirectory());
    directory->Filter = "Country,Locality,Organization,Organizational Unit,Volume";
    directory->DirectoryPath = R"(NDS:\\ACME_TREE\[ROOT])";
    browse.SetDirectory(directory.get());
    browse.resize(300, 300);
    browse.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&browse));
    browse.Refresh();
  }

  testing_support::TempDir network;
  std::unique_ptr<nw::NetWarePlatform> platform;
  std::unique_ptr<ReadingDirectory> directory;
  nw::NWBrowse browse;
};

TEST_F(BrowseTest, ShowsTheTreeFromItsRootReadsContainersWhenOpenedAndReportsFailures) {
  ASSERT_EQ(browse.topLevelItemCount(), 1);
  QTreeWidgetItem* root = browse.topLevelItem(0);
  EXPECT_EQ(root->text(0), "ACME_TREE");
  ASSERT_EQ(root->childCount(), 2);
  QTreeWidgetItem* acme = root->child(0);
  EXPECT_EQ(acme->text(0), "ACME");
  EXPECT_EQ(acme->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
  EXPECT_EQ(root->child(1)->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);  // US
  EXPECT_EQ(directory->read, std::vector<std::string>{R"(NDS:\\ACME_TREE\[ROOT])"});

  std::vector<std::string> failures;
  browse.SetGuard([&](const std::function<void()>& work) {
    try {
      work();
    } catch (const std::exception& e) {
      failures.push_back(e.what());
    }
  });
  directory->failOn = kAcme;
  browse.setCurrentItem(acme);
  QTest::keyClick(&browse, Qt::Key_Right);  // the user opens the container
  EXPECT_EQ(failures, std::vector<std::string>{"The directory cannot be read"});
  EXPECT_EQ(acme->childCount(), 0);
  directory->failOn.clear();  // read again after the failure
  acme->setExpanded(false);
  acme->setExpanded(true);
  EXPECT_EQ(acme->childCount(), 3);
}

}  // namespace
