// The log pane keeps exactly the lines the message log holds while progress lines are
// rewritten, however long the log grows.
#include <QScrollBar>
#include <QTest>

#include <memory>

#include "app/log_pane.h"
#include "tests/app/suites.h"

namespace quillon::testing {
namespace {

class LogPaneTest : public QObject {
    Q_OBJECT

private slots:
    void replaceOnAnEmptyPaneAppends() {
        LogPaneWidget pane("Memo1");
        pane.ReplaceLastLine("Auto Flash ---> Failure !");
        QCOMPARE(pane.Lines(), QStringList{"Auto Flash ---> Failure !"});
        pane.AppendLine("next");
        QCOMPARE(pane.Lines(), (QStringList{"Auto Flash ---> Failure !", "next"}));
    }

    void progressLinesAreOverwrittenInPlace() {
        LogPaneWidget pane("Memo1");
        pane.AppendLine("Connect Mode : Kavo USB for DBGR/SMB");
        pane.AppendLine("Erase Flash ---> Erasing...");
        pane.ReplaceLastLine("Erase Flash ---> OK ! ");
        pane.AppendLine("");
        pane.ReplaceLastLine("Write Flash from buffer ---> 50%");
        pane.ReplaceLastLine("Write Flash from buffer ---> OK !");
        QCOMPARE(pane.Lines(),
                 (QStringList{"Connect Mode : Kavo USB for DBGR/SMB", "Erase Flash ---> OK ! ",
                              "Write Flash from buffer ---> OK !"}));
        QVERIFY(pane.isReadOnly());
        QVERIFY(!pane.isUndoRedoEnabled());
    }

    void stageLinesAreRewrittenCountedFromTheEnd() {
        LogPaneWidget pane("Memo1");
        for (const char* line : {"Auto", "Erase  : ", "Check  : ", "Program: ", "Check  : "}) {
            pane.AppendLine(line);
        }
        pane.ReplaceLineFromEnd(3, "Erase  : 12 Block");
        pane.ReplaceLineFromEnd(1, "Program: 12 Block");
        pane.ReplaceLineFromEnd(0, "Check  : 12 Block");
        pane.ReplaceLineFromEnd(9, "beyond the first line: nothing");
        QCOMPARE(pane.Lines(), (QStringList{"Auto", "Erase  : 12 Block", "Check  : ",
                                            "Program: 12 Block", "Check  : 12 Block"}));
        // The last line is still where the next rewrite of it lands.
        pane.ReplaceLastLine("Auto Flash ---> OK !");
        QCOMPARE(pane.Lines().last(), QString("Auto Flash ---> OK !"));
        QCOMPARE(pane.Lines().size(), 5);
    }

    void longLogKeepsEveryLineAndTheBottomInView() {
        LogPaneWidget pane("Memo1");
        pane.resize(500, 150);
        pane.show();
        for (int i = 0; i < 5000; ++i) {
            pane.AppendLine(QString("Block %1 ---> Writing...").arg(i));
            pane.ReplaceLastLine(QString("Block %1 ---> OK !").arg(i));
        }
        const QStringList lines = pane.Lines();
        QCOMPARE(lines.size(), 5000);
        QCOMPARE(lines.first(), QString("Block 0 ---> OK !"));
        QCOMPARE(lines.last(), QString("Block 4999 ---> OK !"));
        QCOMPARE(pane.blockCount(), 5000);
        QCOMPARE(pane.verticalScrollBar()->value(), pane.verticalScrollBar()->maximum());
    }

    void clearStartsAfresh() {
        LogPaneWidget pane("Memo3");
        pane.AppendLine("a");
        pane.Clear();
        pane.ReplaceLastLine("b");
        QCOMPARE(pane.Lines(), QStringList{"b"});
    }
};

}  // namespace

std::unique_ptr<QObject> MakeLogPaneSuite() {
    return std::make_unique<LogPaneTest>();
}

}  // namespace quillon::testing

#include "log_pane_test.moc"
