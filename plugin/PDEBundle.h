// The plug-in's bundle: where it lives, its strings, its views and its help.
#pragma once

#include <QString>
#include <memory>

class QObject;
class QTranslator;
class QWidget;

class PDEBundle {
public:
    // `path`: the plug-in library's file path (or its directory).
    explicit PDEBundle(const QString& path);
    ~PDEBundle();
    PDEBundle(const PDEBundle&) = delete;
    PDEBundle& operator=(const PDEBundle&) = delete;

    QString bundlePath() const { return path_; }
    // The directory that holds the library and its resources.
    QString directory() const { return directory_; }

    // The text for `key` in the bundle's string table (the English text or a
    // key such as "Job Type_Title"); `value`, or the key itself when neither
    // is there.
    QString localizedString(const QString& key, const QString& value = QString()) const;

    // Loads the view resource `name` (a Qt Designer form) with `owner`:
    //  * a widget whose object name is a QObject-pointer property of the
    //    owner is stored in that property (the owner's control fields);
    //  * a widget with a string property "action" sends that action to the
    //    owner, as the owner's invokable method ACTION(QObject* sender), when
    //    the user operates it (pop-up chosen, button clicked, slider moved,
    //    stepper stepped, text field's editing finished);
    //  * text properties are looked up in the string table;
    //  * the forms may use the plug-in's own controls CustomBox and Stepper;
    //  * last, the owner's invokable awakeFromNib() runs, when it has one.
    // Returns the top-level widget (parented to `parent`), or null when the
    // resource cannot be loaded.
    QWidget* loadNibNamed(const QString& name, QObject* owner, QWidget* parent = nullptr) const;

    // The HTML help book's start page, or empty when it is missing.
    QString helpBookPath() const;

private:
    QString path_, directory_;
    std::unique_ptr<QTranslator> translator_;
};
