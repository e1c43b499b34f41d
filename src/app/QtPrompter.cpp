#include "app/QtPrompter.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QThread>

#include "app/CColumnChoiceDlg.h"

namespace corvane {

namespace {

const QString kDefaultCaption = QStringLiteral("Corvane");

QString captionOr(const std::string& caption) {
    return caption.empty() ? kDefaultCaption : QString::fromStdString(caption);
}

// Runs f on the UI thread and waits for it.
template <class F>
auto onUiThread(F&& f) -> decltype(f()) {
    auto* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        return f();
    }
    decltype(f()) result{};
    QMetaObject::invokeMethod(app, [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
}

QString withDefaultExtension(QString path, const std::string& extension) {
    // Callers name the extension as "txt", ".txt" or as a pattern "*.txt".
    QString suffix = QString::fromStdString(extension);
    while (suffix.startsWith(QLatin1Char('*')) || suffix.startsWith(QLatin1Char('.'))) {
        suffix.remove(0, 1);
    }
    if (!path.isEmpty() && !suffix.isEmpty() && QFileInfo(path).suffix().isEmpty()) {
        path += QLatin1Char('.') + suffix;
    }
    return path;
}

QString initialPath(const FileDialogRequest& request) {
    if (request.defaultName.empty()) {
        return QString::fromStdString(request.initialFolder);
    }
    if (request.initialFolder.empty()) {
        return QString::fromStdString(request.defaultName);
    }
    return QString::fromStdString(request.initialFolder) + QLatin1Char('/') +
           QString::fromStdString(request.defaultName);
}

}  // namespace

QString QtPrompter::toQtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        if (description.isEmpty() || patterns.isEmpty()) {
            break;
        }
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString label = description;
        const auto open = label.indexOf(QLatin1Char('('));
        if (open >= 0) {
            label = label.left(open).trimmed();
        }
        entries << label + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

void QtPrompter::message(const std::string& text, const std::string& caption) {
    QPointer<QWidget> parent = parent_;
    onUiThread([&] {
        QMessageBox::information(parent, captionOr(caption), QString::fromStdString(text));
        return 0;
    });
}

bool QtPrompter::askYesNo(const std::string& text, const std::string& caption) {
    QPointer<QWidget> parent = parent_;
    return onUiThread([&] {
        return QMessageBox::question(parent, captionOr(caption), QString::fromStdString(text),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    });
}

void QtPrompter::notify(const std::string& text, const std::string& caption) {
    auto* app = QCoreApplication::instance();
    if (app == nullptr) {
        return;
    }
    QPointer<QWidget> parent = parent_;
    QMetaObject::invokeMethod(
        app,
        [parent, text = QString::fromStdString(text), caption = captionOr(caption)] {
            QMessageBox::information(parent, caption, text);
        },
        Qt::QueuedConnection);
}

std::optional<std::string> QtPrompter::openFile(const FileDialogRequest& request) {
    QPointer<QWidget> parent = parent_;
    const QString path = onUiThread([&] {
        return QFileDialog::getOpenFileName(parent, QString::fromStdString(request.title),
                                            initialPath(request), toQtFilter(request.filter));
    });
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path.toStdString();
}

std::vector<std::string> QtPrompter::openFiles(const FileDialogRequest& request) {
    QPointer<QWidget> parent = parent_;
    const QStringList paths = onUiThread([&] {
        return QFileDialog::getOpenFileNames(parent, QString::fromStdString(request.title),
                                             initialPath(request), toQtFilter(request.filter));
    });
    std::vector<std::string> result;
    result.reserve(static_cast<std::size_t>(paths.size()));
    for (const auto& path : paths) {
        result.push_back(path.toStdString());
    }
    return result;
}

std::optional<std::string> QtPrompter::saveFile(const FileDialogRequest& request) {
    QPointer<QWidget> parent = parent_;
    const QString path = onUiThread([&] {
        return withDefaultExtension(
            QFileDialog::getSaveFileName(parent, QString::fromStdString(request.title),
                                         initialPath(request), toQtFilter(request.filter)),
            request.defaultExtension);
    });
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path.toStdString();
}

std::optional<int> QtPrompter::chooseColour(int rgb) {
    QPointer<QWidget> parent = parent_;
    const QColor chosen = onUiThread([&] {
        return QColorDialog::getColor(QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF), parent);
    });
    if (!chosen.isValid()) {
        return std::nullopt;
    }
    return chosen.red() | chosen.green() << 8 | chosen.blue() << 16;
}

std::optional<ColumnChoice> QtPrompter::chooseColumns(const ColumnChoiceRequest& request) {
    QPointer<QWidget> parent = parent_;
    return onUiThread([&]() -> std::optional<ColumnChoice> {
        CColumnChoiceDlg dialog(request, parent);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.choice();
    });
}

}  // namespace corvane
