#include "PDEBundle.h"

#include "CustomBox.h"
#include "PDELogging.h"
#include "Stepper.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMetaProperty>
#include <QPointer>
#include <QTranslator>
#include <QUiLoader>
#include <QWidget>

#ifndef PRINTPANELS_TRANSLATIONS_DIR
#define PRINTPANELS_TRANSLATIONS_DIR "/usr/share/printpanels/translations"
#endif

namespace {

constexpr char kStringTableContext[] = "printpanels";

void sendAction(const QPointer<QObject>& owner, const QByteArray& action, QObject* sender)
{
    if (owner && !QMetaObject::invokeMethod(owner, action.constData(), Q_ARG(QObject*, sender)))
        _PDELog(owner, "no action %s", action.constData());
}

// The form loader, knowing the plug-in's own controls.
class FormLoader final : public QUiLoader {
public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override
    {
        QWidget* widget = nullptr;
        if (className == QLatin1String("CustomBox"))
            widget = new CustomBox(parent);
        else if (className == QLatin1String("Stepper"))
            widget = new Stepper(parent);
        else
            return QUiLoader::createWidget(className, parent, name);
        widget->setObjectName(name);
        return widget;
    }
};

} // namespace

PDEBundle::PDEBundle(const QString& path)
    : path_(path)
    , translator_(std::make_unique<QTranslator>())
{
    const QFileInfo info(path);
    directory_ = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    // The table of the user's language from where the tables are installed
    // (PRINTPANELS_TRANSLATIONS_DIR when set), else the one inside the
    // library, else English.
    const QString installed =
        qEnvironmentVariable("PRINTPANELS_TRANSLATIONS_DIR", QStringLiteral(PRINTPANELS_TRANSLATIONS_DIR));
    // An installation put elsewhere has them three levels above the plug-in
    // directory (PREFIX/lib/printpanels/plugins).
    const QString beside = directory_ + QStringLiteral("/../../../share/printpanels/translations");
    const QString name = QStringLiteral("printpanels");
    if (!translator_->load(QLocale(), name, QStringLiteral("_"), installed)
        && !translator_->load(QLocale(), name, QStringLiteral("_"), beside)
        && !translator_->load(QLocale(), name, QStringLiteral("_"), QStringLiteral(":/printpanels/i18n"))
        && !translator_->load(QStringLiteral(":/printpanels/i18n/printpanels_en.qm")))
        _PDELog(nullptr, "no string table: texts show their keys");
}

PDEBundle::~PDEBundle() = default;

QString PDEBundle::localizedString(const QString& key, const QString& value) const
{
    const QByteArray utf8 = key.toUtf8();
    const QString text = translator_->translate(kStringTableContext, utf8.constData());
    if (!text.isEmpty())
        return text;
    return value.isEmpty() ? key : value;
}

QWidget* PDEBundle::loadNibNamed(const QString& name, QObject* owner, QWidget* parent) const
{
    QFile form(QStringLiteral(":/printpanels/views/%1.ui").arg(name));
    if (!form.open(QIODevice::ReadOnly)) {
        _PDELog(owner, "no view resource %s", qUtf8Printable(name));
        return nullptr;
    }
    FormLoader loader;
    QWidget* view = loader.load(&form, parent);
    if (!view) {
        _PDELog(owner, "view resource %s: %s", qUtf8Printable(name), qUtf8Printable(loader.errorString()));
        return nullptr;
    }

    QList<QWidget*> widgets = view->findChildren<QWidget*>();
    widgets.prepend(view);
    for (QWidget* widget : widgets) {
        // Texts: the form holds the English keys.
        if (auto* button = qobject_cast<QAbstractButton*>(widget); button && !button->text().isEmpty())
            button->setText(localizedString(button->text()));
        if (!widget->windowTitle().isEmpty())
            widget->setWindowTitle(localizedString(widget->windowTitle()));
        if (!widget->accessibleName().isEmpty())
            widget->setAccessibleName(localizedString(widget->accessibleName()));
        if (QVariant text = widget->property("text"); text.typeId() == QMetaType::QString
            && !qobject_cast<QAbstractButton*>(widget) && !text.toString().isEmpty())
            widget->setProperty("text", localizedString(text.toString()));

        if (owner) {
            const QByteArray outlet = widget->objectName().toUtf8();
            const int index = outlet.isEmpty() ? -1 : owner->metaObject()->indexOfProperty(outlet.constData());
            if (index >= 0)
                owner->metaObject()->property(index).write(owner, QVariant::fromValue(static_cast<QObject*>(widget)));

            const QByteArray action = widget->property("action").toString().toUtf8();
            if (!action.isEmpty()) {
                const QPointer<QObject> target(owner);
                if (auto* popUp = qobject_cast<QComboBox*>(widget))
                    QObject::connect(popUp, &QComboBox::activated, owner,
                                     [target, action, popUp](int) { sendAction(target, action, popUp); });
                else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                    QObject::connect(button, &QAbstractButton::clicked, owner,
                                     [target, action, button](bool) { sendAction(target, action, button); });
                else if (auto* slider = qobject_cast<QAbstractSlider*>(widget))
                    QObject::connect(slider, &QAbstractSlider::valueChanged, owner,
                                     [target, action, slider](int) { sendAction(target, action, slider); });
                else if (auto* stepper = qobject_cast<Stepper*>(widget))
                    QObject::connect(stepper, &Stepper::stepped, owner,
                                     [target, action, stepper] { sendAction(target, action, stepper); });
                else if (auto* field = qobject_cast<QLineEdit*>(widget))
                    QObject::connect(field, &QLineEdit::editingFinished, owner,
                                     [target, action, field] { sendAction(target, action, field); });
            }
        }
    }
    // The owner finishes setting up its controls, as after loading a nib.
    if (owner && owner->metaObject()->indexOfMethod("awakeFromNib()") >= 0)
        QMetaObject::invokeMethod(owner, "awakeFromNib");
    return view;
}

QString PDEBundle::helpBookPath() const
{
    const QString page = directory_ + QStringLiteral("/printpanels/help/index.html");
    return QFileInfo::exists(page) ? page : QString();
}
