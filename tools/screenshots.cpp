// Renders the documentation's screenshots from a generated data set, so that they show the program as it
// is built now. scripts/screenshots.sh builds and runs it headless:
//   velmora_screenshots <output directory> [name...]
// writes <name>.png for every shot in Shots, or for the named ones only. A new screenshot is one more
// entry in Shots. Qt fixes the scale factor before the first window exists, so one run renders only
// the shots of the scale it was started with (QT_SCALE_FACTOR); the script runs it once per scale.

#include "thermometerdata.h"
#include "velmora.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QIcon>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace
{
struct TGeneratedThermometer
{
    const char* description;
    double references[3];
    double readings[3];
    int due_in_days;
};

// Test points as a calibration laboratory reports them, due dates counted from today so that the
// thermometers keep their states however old the build is.
const TGeneratedThermometer Thermometers[] = {
    {"Probe 7 (X axis)", {15.0, 20.0, 25.0}, {15.08, 20.12, 25.21}, 300},
    {"Probe 12 (Y axis)", {15.0, 20.0, 25.0}, {14.95, 19.97, 25.04}, 20},
    {"Probe 3 (Z axis)", {16.0, 20.0, 24.0}, {16.11, 20.06, 24.02}, 180},
    {"Probe 21 (part)", {15.0, 20.0, 25.0}, {15.02, 20.05, 25.03}, -40},
    // A real probe 1.5 degrees off: doubtful until someone reviews it.
    {"Probe 5 (spare)", {15.0, 20.0, 25.0}, {16.5, 21.52, 26.51}, 250},
};

bool Write_Data_Set(const QString& data_directory)
{
    QDir(data_directory).removeRecursively();
    QDir().mkpath(data_directory);
    TThermometerList list;
    for (const TGeneratedThermometer& thermometer : Thermometers)
    {
        const TCorrectionDialogData data{thermometer.references[0],
                                         thermometer.references[1],
                                         thermometer.references[2],
                                         thermometer.readings[0],
                                         thermometer.readings[1],
                                         thermometer.readings[2],
                                         {},
                                         {}};
        list.Set_Correction_Data(thermometer.description, data);
        list.Set_Calibration_Due_Date(thermometer.description,
                                      QDate::currentDate().addDays(thermometer.due_in_days));
    }
    QSettings settings(data_directory + "/velmora_settings.ini", QSettings::IniFormat);
    settings.setValue("Current_Path", "/srv/measurements");
    settings.setValue("Record_File", "table2.csv");
    settings.setValue("Active_Thermometer", 0);
    settings.setValue("Description", "Table 2, left");
    settings.setValue("Axis_Z_Enabled", false);
    settings.setValue("Meter_X_Value", "20.31");
    settings.setValue("Meter_Y_Value", "21.84");
    settings.setValue("Meter_Z_Value", "19.94");
    settings.setValue("Meter_Part_Value", "17.62");
    settings.sync();
    return settings.status() == QSettings::NoError &&
           list.Save_Calibration_File(data_directory + "/calibration_data.xml");
}

// Grabs the next modal dialog that the slot opens, then closes it.
QPixmap Grab_Modal(QObject* window, const char* slot)
{
    QPixmap pixmap;
    QTimer::singleShot(0, [&pixmap]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr)
        {
            pixmap = modal->grab();
            modal->close();
        }
    });
    QMetaObject::invokeMethod(window, slot);
    return pixmap;
}

QWidget* Top_Level(const char* class_name)
{
    for (QWidget* widget : QApplication::topLevelWidgets())
    {
        if (widget->inherits(class_name) && widget->isVisible())
        {
            return widget;
        }
    }
    return nullptr;
}

struct TShot
{
    const char* name;
    int scale;
    std::function<QPixmap(TVelmora*)> take;
};

const TShot Shots[] = {
    {"main-window", 1, [](TVelmora* window) { return window->grab(); }},
    {"main-window-2x", 2, [](TVelmora* window) { return window->grab(); }},
    // The thermometer list opened over the window, so that every thermometer's state icon shows.
    {"calibration-states", 1,
     [](TVelmora* window) {
         QComboBox* selector = window->findChild<QComboBox*>("Thermometer_Selector");
         selector->showPopup();
         QCoreApplication::processEvents();
         QPixmap pixmap = window->grab();
         QWidget* popup = selector->view()->window();
         QPainter painter(&pixmap);
         painter.drawPixmap(window->mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))), popup->grab());
         painter.end();
         selector->hidePopup();
         return pixmap;
     }},
    {"correction-editor", 1, [](TVelmora* window) { return Grab_Modal(window, "Edit_Thermometer"); }},
    {"options", 1, [](TVelmora* window) { return Grab_Modal(window, "Edit_Options"); }},
    {"correction-curve", 1,
     [](TVelmora* window) {
         QMetaObject::invokeMethod(window, "Show_Correction_Curve");
         QWidget* view = Top_Level("TCorrectionView");
         const QPixmap pixmap = view != nullptr ? view->grab() : QPixmap();
         if (view != nullptr)
         {
             view->close();
         }
         return pixmap;
     }},
    // The spare probe's doubtful calibration under review, its comment typed; cancelled, so nothing is
    // written.
    {"review-finding", 1,
     [](TVelmora* window) {
         QPixmap pixmap;
         QTimer::singleShot(0, [&pixmap]() {
             QWidget* dialog = QApplication::activeModalWidget();
             if (dialog == nullptr)
             {
                 return;
             }
             QLineEdit* comment = dialog->findChild<QLineEdit*>("Comment_Edit");
             if (comment != nullptr)
             {
                 comment->setText("probe replaced, 1.5 K is real");
             }
             QCoreApplication::processEvents();
             pixmap = dialog->grab();
             dialog->close();
         });
         QMetaObject::invokeMethod(window, "Review_Finding");
         QWidget* view = Top_Level("TCalibrationHistoryView");
         if (view != nullptr)
         {
             view->close();
         }
         return pixmap;
     }},
    // Last, as it changes a thermometer: one reading changed in the Correction Editor, then the history of
    // all thermometers with the record of that change on top of their first sightings.
    {"calibration-history", 1,
     [](TVelmora* window) {
         QTimer::singleShot(0, []() {
             QWidget* editor = QApplication::activeModalWidget();
             QLineEdit* reading =
                 editor != nullptr ? editor->findChild<QLineEdit*>("Thermometer_Reading2_Edit") : nullptr;
             if (reading != nullptr)
             {
                 // Typed, not set: the editor keeps a field's stored value unless it was edited.
                 reading->selectAll();
                 reading->insert("20.09");
                 editor->findChild<QPushButton*>("Accept_Button")->click();
             }
         });
         QMetaObject::invokeMethod(window, "Edit_Thermometer");
         QMetaObject::invokeMethod(window, "Show_Calibration_History");
         QWidget* view = Top_Level("TCalibrationHistoryView");
         if (view == nullptr)
         {
             return QPixmap();
         }
         view->findChild<QComboBox*>("Filter_Selector")->setCurrentIndex(1);
         // Laid out for the texts just set.
         QCoreApplication::processEvents();
         const QPixmap pixmap = view->grab();
         view->close();
         return pixmap;
     }},
};
} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create("fusion"));
    QApplication::setWindowIcon(QIcon(":/icons/velmora.png"));
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: velmora_screenshots <output directory> [name...]\n");
        return 2;
    }
    const QString output_directory = QString::fromLocal8Bit(argv[1]);
    QStringList names;
    for (int index = 2; index < argc; ++index)
    {
        names << QString::fromLocal8Bit(argv[index]);
    }
    QStringList unknown_names = names;
    for (const TShot& shot : Shots)
    {
        unknown_names.removeAll(shot.name);
    }
    if (!unknown_names.isEmpty())
    {
        std::fprintf(stderr, "velmora_screenshots: no such shot: %s\n", qPrintable(unknown_names.join(' ')));
        return 2;
    }
    const int scale = qRound(application.devicePixelRatio());

    if (!Write_Data_Set(QCoreApplication::applicationDirPath() + "/.velmora") ||
        !QDir().mkpath(output_directory))
    {
        std::fprintf(stderr, "velmora_screenshots: cannot write the data set or the output directory\n");
        return 1;
    }
    TVelmora window;
    window.show();
    // Laid out as shown: the log pane's scroll bars follow its wrapped lines only then.
    QCoreApplication::processEvents();
    int failures = 0;
    for (const TShot& shot : Shots)
    {
        if (shot.scale != scale || (!names.isEmpty() && !names.contains(shot.name)))
        {
            continue;
        }
        const QString file_name = output_directory + "/" + shot.name + ".png";
        const QPixmap pixmap = shot.take(&window);
        if (pixmap.isNull() || !pixmap.save(file_name, "PNG"))
        {
            std::fprintf(stderr, "velmora_screenshots: cannot render %s\n", qPrintable(file_name));
            ++failures;
            continue;
        }
        std::printf("%s\n", qPrintable(file_name));
    }
    return failures == 0 ? 0 : 1;
}
