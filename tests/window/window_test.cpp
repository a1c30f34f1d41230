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

constexpr const char* kAcme = R"(NDS:\\ACME_TREE\ACME)";

// The network's directory control, but the children of one name cannot be read.
class FailingDirectory : public nw::NWDirectory {
 public:
  FailingDirectory(std::unique_ptr<nw::NWDirectory> inner, const std::string& failOn)
      : inner_(std::move(inner)), failOn_(failOn) {}
  void SearchObjects(const std::string& pattern, const std::string& objectClass, std::int32_t depth,
                     const std::string& base, std::int32_t last) override {
    Pass().SearchObjects(pattern, objectClass, depth, base, last);
  }
  std::vector<nw::NWDirEntry> Children(const std::string& fullName) override {
    if (fullName == failOn_) throw std::runtime_error("The directory cannot be read");
    return Pass().Children(fullName);
  }

 private:
  nw::NWDirectory& Pass() {
    inner_->DirectoryPath = DirectoryPath;
    inner_->Filter = Filter;
    inner_->SearchResults = SearchResults;
    return *inner_;
  }
  std::unique_ptr<nw::NWDirectory> inner_;
  const std::string& failOn_;
};

// The simulated network, counting client calls; its tree list can be replaced or made to fail,
// and so can reading one container.
class TestPlatform : public testing_support::CountingPlatform, public nw::NWSession {
 public:
  explicit TestPlatform(const std::filesystem::path& folder)
      : testing_support::CountingPlatform(sim::OpenNetwork(folder)) {}
  std::optional<std::vector<std::string>> trees;  // instead of the workstation's
  std::function<void()> onTrees;                  // runs inside Trees(); may throw
  int treeCalls = 0;
  std::string failOn;  // a full name whose children cannot be read

  std::unique_ptr<nw::NWDirectory> CreateDirectory() override {
    return std::make_unique<FailingDirectory>(testing_support::CountingPlatform::CreateDirectory(),
                                              failOn);
  }
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
  nw::NWSession& Inner() { return testing_support::CountingPlatform::Session(); }
};

class WindowTest : public testing_support::WindowSceneTest {
 protected:
  WindowTest() : WindowSceneTest("window_network.json") {
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

// Opening a container that cannot be read is an unhandled failure too.
TEST_F(WindowTest, AContainerThatCannotBeReadIsShownAndEndsTheProgram) {
  Form1& w = Shown();
  ChooseTree("ACME_TREE");
  QTreeWidgetItem* acme = w.NWBrowse1->ItemFor(kAcme);
  ASSERT_NE(acme, nullptr);
  // Containers show the arrow that opens them; so far only the root has been read.
  EXPECT_EQ(acme->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
  EXPECT_EQ(w.NWBrowse1->ItemFor(R"(NDS:\\ACME_TREE\US)")->childIndicatorPolicy(),
            QTreeWidgetItem::DontShowIndicator);
  EXPECT_EQ(acme->childCount(), 0);
  test->failOn = kAcme;
  w.NWBrowse1->setCurrentItem(acme);
  QTest::keyClick(w.NWBrowse1, Qt::Key_Right);  // the user opens the container
  EXPECT_EQ(
      desktop.messages,
      (std::vector<ShownMessage>{{"The directory cannot be read", MsgIcon::Critical, "Tolvane"}}));
  EXPECT_EQ(desktop.endedWith, 1);
  EXPECT_FALSE(w.isVisible());
}

}  // namespace
