#include <QString>

// Statements in a window, as they come.
namespace {
const QString kPlain = QStringLiteral("SELECT * FROM reports");                    // flagged
const QString kLower = QStringLiteral("delete from reports where reportid = ?");   // flagged
const QString kLines = QStringLiteral("UPDATE reports "                            // flagged
                                      "SET name = ? "
                                      "WHERE reportid = ?");
const QString kRaw = /* flagged */ QStringLiteral(R"(
    INSERT INTO reports(name) VALUES(?))");
// Fragments kept for later, and a bound comparison alone.
const QString kWhere = QStringLiteral(" WHERE reportid = ?");   // flagged
const QString kOrder = QStringLiteral("order by name desc");    // flagged
const QString kByKey = QStringLiteral("reportid = ?");          // flagged
// A digit separator is no character literal.
const QString kAfter = QString::number(1'000) + QStringLiteral("DROP TABLE reports");   // flagged
}

namespace Lists {
// A free function is no hook, whatever its name.
QString listingSql() { return QStringLiteral("SELECT name FROM section"); }   // flagged
}

// A statement in a lambda belongs to the function that holds it.
void Window::fillLater()
{
    const auto rows = [this](const QString& key) {
        return QStringLiteral("select brname from reports where ctid = ?") + key;   // flagged
    };
    run(rows);
}

// Words of prose in a statement's values or comments make it no less a statement.
namespace {
const QString kValue = QStringLiteral("select ctid from reports where checkname = 'the chest'");   // flagged
const QString kNoted = QStringLiteral("delete from reports -- the old ones\n");                    // flagged
const QString kCaps = QStringLiteral("SELECT the_name FROM reports");                              // flagged
}
