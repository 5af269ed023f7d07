// The plug-in's frame: the factory as the host loads it, the PPD helpers and
// PDEChoice.
#include "PDELogging.h"
#include "PDETool.h"
#include "PrinterPDE-Brisa_Ref.h"
#include "RecordingHost.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>
#include <cstring>
#include <gtest/gtest.h>

namespace {

QString pluginFile()
{
    const QFileInfoList found = QDir(PRINTPANELS_PLUGIN_DIR).entryInfoList({"*printpanels*.so"}, QDir::Files);
    return found.isEmpty() ? QString() : found.first().absoluteFilePath();
}

TEST(PrinterPDEPlugIn, HandsOutOneImageOptionsPanelForThePrinterTypeOnly)
{
    QPluginLoader loader(pluginFile());
    ASSERT_TRUE(loader.load()) << loader.errorString().toStdString();
    auto* factory = qobject_cast<PDEPlugIn*>(loader.instance());
    ASSERT_NE(factory, nullptr);
    ASSERT_TRUE(factory->initWithBundle(loader.fileName()));

    PpdFile ppd(PRINTPANELS_PPD);
    RecordingHost host(ppd.get());
    EXPECT_TRUE(factory->PDEPanelsForType(QStringLiteral("com.example.other-type"), &host).isEmpty());
    const QList<PDEPanel*> panels = factory->PDEPanelsForType(QLatin1String(kPDEPrinterPanelType), &host);
    ASSERT_EQ(panels.size(), 1);
    PDEPanel* panel = panels.first();
    EXPECT_EQ(panel->panelName(), QStringLiteral("Image Options"));
    EXPECT_EQ(panel->panelKind(), QStringLiteral("com.PrinterPDE"));
    EXPECT_TRUE(panel->shouldShowHelp());
    EXPECT_TRUE(panel->shouldHide());
    // The view comes from the bundle, with its controls and the English table.
    QWidget* view = panel->panelView();
    ASSERT_NE(view, nullptr);
    panel->willShow();
    auto* colour = view->findChild<QComboBox*>(QStringLiteral("outputcolorButton"));
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(colour->count(), 2);
    EXPECT_EQ(colour->itemText(0), QStringLiteral("Color"));
    // Help ships beside the library.
    EXPECT_TRUE(QFileInfo::exists(factory->helpBookPath()));
    // Another printer-type request gives a new panel; the first stays usable.
    ASSERT_EQ(factory->PDEPanelsForType(QLatin1String(kPDEPrinterPanelType), &host).size(), 1);
    EXPECT_EQ(panel->panelName(), QStringLiteral("Image Options"));
    // Destroying the root object takes its panels and their views with it
    // (LeakSanitizer checks the rest in the sanitizer build).
    EXPECT_TRUE(loader.unload());
}

TEST(PDETool, CreateOptionTitle)
{
    PpdFile ppd(PRINTPANELS_PPD);
    EXPECT_EQ(CreateOptionTitle(ppdFindOption(ppd.get(), "ColorModel")), QStringLiteral("Color Mode:"));
    EXPECT_EQ(CreateOptionTitle(nullptr), QStringLiteral("Option not found."));
}

TEST(PDETool, FindChoiceForStringCountsEntriesInNIndex)
{
    PpdFile ppd(PRINTPANELS_PPD);
    // Screen: Auto, Fine, Smooth, Gradation; make the third the default.
    ppd_option_t* screen = ppdFindOption(ppd.get(), "Screen");
    ASSERT_NE(screen, nullptr);
    strcpy(screen->defchoice, "Smooth");
    const PDEChoiceArray array = ArrayFromPPDOption(screen);
    ASSERT_EQ(array->size(), 4u);

    PDEChoicePtr found = FindChoiceForString(QString(), array);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->ppdTitle(), QStringLiteral("Smooth"));
    EXPECT_EQ(nIndex, 3);
    EXPECT_EQ(FindChoiceForString(QStringLiteral("Fine"), array), (*array)[1]);
    EXPECT_EQ(nIndex, 2);
    EXPECT_EQ(FindChoiceForString(QStringLiteral("Coarse"), array), nullptr);
    EXPECT_EQ(nIndex, 4);
    // The user-visible text, not the keyword.
    EXPECT_EQ(FindUserChoiceForString(QStringLiteral("Gradation"), array), (*array)[3]);
    EXPECT_EQ(FindUserChoiceForString(QStringLiteral("Auto "), array), nullptr);
    EXPECT_EQ(ArrayFromPPDOption(nullptr), nullptr);
}

TEST(PDEChoice, IsDefaultChoiceComparesAtMost41Bytes)
{
    // Keywords that fill their 41-byte fields with no terminator, followed
    // by bytes that differ: only the 41 bytes count.
    ppd_option_t option{};
    ppd_choice_t choices[2]{};
    option.choices = choices;
    option.num_choices = 2;
    memset(option.defchoice, 'K', sizeof option.defchoice);
    memset(option.text, 'x', sizeof option.text);
    for (ppd_choice_t& choice : choices) {
        choice.option = &option;
        memset(choice.choice, 'K', sizeof choice.choice);
        memset(choice.text, 'y', sizeof choice.text);
    }
    choices[1].choice[40] = 'Z';
    EXPECT_TRUE(PDEChoice(&choices[0]).isDefaultChoice());
    EXPECT_FALSE(PDEChoice(&choices[1]).isDefaultChoice());
    // Titles stop at the field's end too.
    PDEChoice unterminated(&choices[0]);
    EXPECT_EQ(unterminated.ppdTitle(), QString(41, QLatin1Char('K')));
    EXPECT_EQ(unterminated.userTitle().size(), 81);
}

TEST(PDEChoice, DescriptionOfAMarkedChoice)
{
    PpdFile ppd(PRINTPANELS_PPD);
    ppd_option_t* quality = ppdFindOption(ppd.get(), "DrvResolution"); // 2 choices
    ppd_option_t* screen = ppdFindOption(ppd.get(), "Screen");
    ASSERT_NE(quality, nullptr);
    ASSERT_NE(screen, nullptr);
    ppdMarkOption(ppd.get(), "Screen", "Fine");
    PDEChoice fine(&screen->choices[1]);
    const QString text = fine.description();
    EXPECT_TRUE(text.startsWith(QStringLiteral("<PDEChoice 0x"))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral(" userTitle:\"Fine\" ppdTitle:\"Fine\" marked:YES choice:2 of 4>")))
        << text.toStdString();
    EXPECT_TRUE(PDEChoice(&quality->choices[1]).description().endsWith(QStringLiteral("marked:NO choice:2 of 2>")));
}

TEST(PDELogging, FormatAndStackTraces)
{
    EXPECT_EQ(Format(nullptr, QStringLiteral("LOG"), QStringLiteral("ready")), QStringLiteral("LOG ready"));
    QObject object;
    EXPECT_TRUE(Format(&object, QStringLiteral("BEGIN"), QStringLiteral("go"))
                    .startsWith(QStringLiteral("BEGIN self(<QObject 0x")));
    // A message with conversions in the object's text is logged as text.
    _PDELog(&object, "%s", "100% done %n");

    PrinterPDECorvane5170 panel; // no host: every option absent
    EXPECT_FALSE(panel.printStackTrace(PDEException{QStringLiteral("boom"), QString()}));
    EXPECT_TRUE(panel.exceptionHandler(nullptr, true, 0));
    EXPECT_EQ(stackTraceArguments(42, QStringLiteral("0x401000  0x402000  0x403000")),
              (QStringList{"--pid", "42", "0x401000", "0x402000", "0x403000"}));
}

} // namespace
