#include "ui/help.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace mirdal {

QString readHelpLanguage() {
  QSettings settings(QStringLiteral("Halvex"), QStringLiteral("Orva"));
  const QVariant value = settings.value(QStringLiteral("Config/Language"));
  if (value.metaType() == QMetaType::fromType<QString>()) return value.toString();
  return QStringLiteral("UK");
}

QStringList installedManualDirectories() {
  QStringList dirs;
#ifdef MIRDAL_DOCDIR_FROM_BINDIR
  const QString beside = QDir::cleanPath(QCoreApplication::applicationDirPath() + "/" MIRDAL_DOCDIR_FROM_BINDIR);
  dirs << beside;
#endif
#ifdef MIRDAL_INSTALL_DOCDIR
  const QString configured = QDir::cleanPath(QStringLiteral(MIRDAL_INSTALL_DOCDIR));
  if (!dirs.contains(configured)) dirs << configured;
#endif
#ifdef MIRDAL_SOURCE_DOCDIR
  dirs << QStringLiteral(MIRDAL_SOURCE_DOCDIR);
#endif
  return dirs;
}

QString helpDocumentPath(const QString& programDirectory, const QString& language,
                         const QStringList& installedDirectories) {
  const QString ownDoc = programDirectory + QStringLiteral("/doc/");
  for (const QString& lang : {language, QStringLiteral("UK")}) {
    const QString name = lang + QStringLiteral("_mirdal.html");
    if (QFileInfo(ownDoc + name).isFile()) return ownDoc + name;
    for (const QString& dir : installedDirectories) {
      const QString candidate = dir + QLatin1Char('/') + name;
      if (QFileInfo(candidate).isFile()) return candidate;
    }
  }
  return ownDoc + QStringLiteral("UK_mirdal.html");
}

}  // namespace mirdal
