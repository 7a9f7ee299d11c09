// SPDX-License-Identifier: Apache-2.0
#include "ui/MainWindowLayout.h"

#include <algorithm>

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

namespace quorlin::ui {
namespace {

constexpr Place kFixedPlaces[] = {
    {"Form1", 2, 2, 1005, 591},
    {"PageControl1", 8, 0, 969, 511},
    // "Show/Edit Current Text"
    {"NullsReminder", 176, 2, 217, 21},
    {"SearchBtn", 472, 3, 75, 17},
    {"Wordwrapbtn", 576, 3, 153, 17},
    {"RichEdit1", 16, 24, 900, 417},
    // "Make Global Changes"
    {"TestBox", 8, 1, 837, 134},
    {"Label3", 8, 144, kOwnSize, kOwnSize},
    {"Edit3", 88, 138, 49, 21},
    {"Label4", 144, 144, kOwnSize, kOwnSize},
    {"Edit4", 232, 138, 49, 21},
    {"Label2", 293, 144, kOwnSize, kOwnSize},
    {"Edit5", 424, 138, 33, 21},
    {"Label7", 472, 144, kOwnSize, kOwnSize},
    {"Edit6", 586, 138, 33, 21},
    {"Label8", 634, 144, kOwnSize, kOwnSize},
    {"Edit7", 744, 138, 33, 21},
    {"Label9", 792, 144, kOwnSize, kOwnSize},
    {"Edit9", 856, 138, 33, 21},
    {"Label1", 40, 167, kOwnSize, kOwnSize},
    {"Edit1", 127, 161, 221, 21},
    {"Label5", 392, 167, kOwnSize, kOwnSize},
    {"Edit2", 528, 161, 273, 21},
    {"ActionBox", 8, 185, 837, 277},
    {"Label6", 864, 224, 60, 65},
    {"Button1", 864, 296, 65, 41},
    {"CheckBox1", 8, 465, 257, 17},
    {"UCasecheckbox", 288, 465, 137, 17},
    {"CheckBox2", 440, 465, 161, 17},
    {"LCaseCheckBox", 616, 465, 129, 17},
    {"PatternCheckBox", 760, 465, 177, 17},
};

// Radio button grids: rows 16 pixels apart from top 16, two columns. An empty
// name leaves the cell free.
struct GridRow {
  std::string_view left, right;
};

constexpr GridRow kTestGrid[] = {
    {"RadioButton1", "RadioButton7"},   {"RadioButton2", "RadioButton8"},
    {"RadioButton3", "RadioButton9"},   {"RadioButton5", "RadioButton10"},
    {"RadioButton4", "RadioButton11"},  {"RadioButton6", "RadioButton12"},
    {"RadioButton36", "RadioButton42"},
};

constexpr GridRow kActionGrid[] = {
    {"RadioButton13", "RadioButton15"},
    {"RadioButton32", "RadioButton14"},
    {"RadioButton17", "RadioButton23"},
    {"RadioButton18", "RadioButton24"},
    {"RadioButton19", "RadioButton22"},
    {"RadioButton27", "RadioButton25"},
    {"RadioButton34", "RadioButton26"},
    {"RadioButton31", "RadioButton16"},
    {"RadioButton21", "RadioButton20"},
    {"RadioButton28", "RadioButton35"},
    {"RadioButton29", "RadioButton30"},
    {"RadioButton38", "RadioButton40"},
    {"RadioButton43", "RadioButton41"},
    {"RadioButton39", "RadioButton44"},
    {"RadioButton33", ""},
    {"RadioButton37", ""},
};

constexpr int kRadioHeight = 17;
constexpr int kGroupWidth = 837;
constexpr int kColumnGap = 8;         // between a button and what stands right of it
constexpr int kWideRadioWidth = 777;  // the last two action rows

// Each column runs up to the next one, or to the group box's edge.
void AddGrid(std::vector<Place>& places, const GridRow* rows, int rowCount, int left, int right,
             std::string_view shiftedName, int shiftedLeft) {
  for (int i = 0; i < rowCount; ++i) {
    const int top = 16 + 16 * i;
    const GridRow& row = rows[i];
    if (row.right.empty()) {
      places.push_back({row.left, left, top, kWideRadioWidth, kRadioHeight});
      continue;
    }
    const int rightLeft = row.right == shiftedName ? shiftedLeft : right;
    places.push_back({row.left, left, top, rightLeft - left - kColumnGap, kRadioHeight});
    places.push_back(
        {row.right, rightLeft, top, kGroupWidth - rightLeft - kColumnGap, kRadioHeight});
  }
}

// Growth with the screen height: -1 keeps what an earlier tier set.
struct HeightTier {
  int above;
  int window, pageControl, richEdit;
  int testBoxTop, testBoxHeight;
  int numberLabelsTop, numberFieldsTop;
  int keyLabelsTop, keyFieldsTop;
  int actionBoxTop, actionBoxHeight;
  int label6Top, button1Top, checkRowTop;
};

constexpr int kKeep = -1;
constexpr HeightTier kHeightTiers[] = {
    {763, 710, 639, 551, 13, 144, 174, 171, 211, 208, 260, 305, 300, 376, 586},
    {859, 806, 735, 647, kKeep, 180, 205, 205, 265, 265, 295, 355, 325, 435, 665},
    {1019, 966, 895, 807, kKeep, 205, 260, 260, 325, 325, 385, 360, 385, 485, 800},
};

struct WidthTier {
  int above;
  int window, pageControl, richEdit;
};

constexpr WidthTier kWidthTiers[] = {
    {1019, 1013, 980, 950},
    {1147, 1141, 1108, 1078},
    {1275, 1269, 1236, 1206},
};

constexpr std::string_view kNumberLabels[] = {"Label2", "Label3", "Label4",
                                              "Label7", "Label8", "Label9"};
constexpr std::string_view kNumberFields[] = {"Edit3", "Edit4", "Edit5", "Edit6", "Edit7", "Edit9"};
constexpr std::string_view kKeyLabels[] = {"Label1", "Label5"};
constexpr std::string_view kKeyFields[] = {"Edit1", "Edit2"};
constexpr std::string_view kCheckRow[] = {"CheckBox1", "UCasecheckbox", "CheckBox2",
                                          "LCaseCheckBox", "PatternCheckBox"};

Place& At(std::vector<Place>& places, std::string_view name) {
  return *std::find_if(places.begin(), places.end(),
                       [&](const Place& p) { return p.name == name; });
}

void Set(int& value, int tierValue) {
  if (tierValue != kKeep) value = tierValue;
}

template <std::size_t N>
void SetTops(std::vector<Place>& places, const std::string_view (&names)[N], int top) {
  for (const std::string_view name : names) Set(At(places, name).top, top);
}

void ApplyHeightTier(std::vector<Place>& places, const HeightTier& t) {
  Set(At(places, "Form1").height, t.window);
  Set(At(places, "PageControl1").height, t.pageControl);
  Set(At(places, "RichEdit1").height, t.richEdit);
  Set(At(places, "TestBox").top, t.testBoxTop);
  Set(At(places, "TestBox").height, t.testBoxHeight);
  SetTops(places, kNumberLabels, t.numberLabelsTop);
  SetTops(places, kNumberFields, t.numberFieldsTop);
  SetTops(places, kKeyLabels, t.keyLabelsTop);
  SetTops(places, kKeyFields, t.keyFieldsTop);
  Set(At(places, "ActionBox").top, t.actionBoxTop);
  Set(At(places, "ActionBox").height, t.actionBoxHeight);
  Set(At(places, "Label6").top, t.label6Top);
  Set(At(places, "Button1").top, t.button1Top);
  SetTops(places, kCheckRow, t.checkRowTop);
}

void ApplyWidthTier(std::vector<Place>& places, const WidthTier& t) {
  At(places, "Form1").width = t.window;
  At(places, "PageControl1").width = t.pageControl;
  At(places, "RichEdit1").width = t.richEdit;
}

}  // namespace

std::vector<Place> DesignPlaces() {
  std::vector<Place> places(std::begin(kFixedPlaces), std::end(kFixedPlaces));
  AddGrid(places, kTestGrid, int(std::size(kTestGrid)), 16, 512, {}, 0);
  AddGrid(places, kActionGrid, int(std::size(kActionGrid)), 16, 488, "RadioButton15", 464);
  return places;
}

std::vector<Place> PlacesForScreen(int screenWidth, int screenHeight) {
  std::vector<Place> places = DesignPlaces();
  for (std::size_t i = 0; i < std::size(kHeightTiers); ++i) {
    if (screenHeight > kHeightTiers[i].above) ApplyHeightTier(places, kHeightTiers[i]);
    if (screenWidth > kWidthTiers[i].above) ApplyWidthTier(places, kWidthTiers[i]);
  }
  return places;
}

const Place* FindPlace(const std::vector<Place>& places, std::string_view name) {
  const auto it =
      std::find_if(places.begin(), places.end(), [&](const Place& p) { return p.name == name; });
  return it == places.end() ? nullptr : &*it;
}

void ApplyPlaces(QWidget* window, const std::vector<Place>& places) {
  for (const Place& place : places) {
    if (place.name == "Form1") {
      window->move(place.left, place.top);
      window->resize(place.width - kFrameWidth, place.height - kFrameHeight);
      continue;
    }
    auto* widget = window->findChild<QWidget*>(QString::fromLatin1(place.name));
    if (widget == nullptr) continue;
    const QSize own = widget->sizeHint();
    int width = place.width == kOwnSize ? own.width() : place.width;
    int height = place.height == kOwnSize ? own.height() : place.height;
    // A check box or radio button grows to show its whole caption where the
    // substitute font runs a little wider than the design's.
    if (qobject_cast<QCheckBox*>(widget) != nullptr ||
        qobject_cast<QRadioButton*>(widget) != nullptr) {
      width = std::max(width, own.width());
    }
    // A word-wrapped label grows downwards rather than cut off its last line.
    if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && label->wordWrap()) {
      height = std::max(height, label->heightForWidth(width));
    }
    widget->setGeometry(place.left, place.top, width, height);
  }
}

}  // namespace quorlin::ui
