<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>ConfigAppearanceWidget</name>
    <message>
        <location filename="../../app/configappearancewidget.ui" line="108"/>
        <source>Change c&amp;olor...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ConfigEditorWidget</name>
    <message>
        <location filename="../../app/configeditorwidget.ui" line="205"/>
        <source>Highlight cu&amp;rrent line</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ConfigGeneralWidget</name>
    <message>
        <location filename="../../app/configgeneralwidget.ui" line="151"/>
        <source>PDF&amp;LaTeX command:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ConfigPreviewWidget</name>
    <message>
        <location filename="../../app/configpreviewwidget.ui" line="20"/>
        <source>Preview generation:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../app/configpreviewwidget.ui" line="27"/>
        <source>&lt;p&gt;If this option is checked, the TikZ code in the editor is compiled while editing.&lt;/p&gt;</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <location filename="../../app/mainwindow.cpp" line="590"/>
        <source>&amp;About %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../app/mainwindow.cpp" line="614"/>
        <source>&amp;File</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PrintPreviewDialog</name>
    <message>
        <location filename="../../common/utils/printpreviewdialog.cpp" line="51"/>
        <source>Fit p&amp;age</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RecentFilesAction</name>
    <message>
        <location filename="../../common/utils/recentfilesaction.cpp" line="112"/>
        <source>Open &amp;Recent</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TikzCommandInserter</name>
    <message>
        <location filename="../../buildqt5/tikzcommands_tr.h" line="131"/>
        <source>P&amp;lacing nodes on a curve</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../buildqt5/tikzcommands_tr.h" line="132"/>
        <source>La&amp;bel and pin</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
