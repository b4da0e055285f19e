<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>Dialog</name>
    <message>
        <location filename="dialog.cpp" line="12"/>
        <source>Close</source>
        <translation type="unfinished">«Close» &amp; &lt;i&gt; €</translation>
    </message>
    <message>
        <source>Print %1</source>
        <comment>verb</comment>
        <translation type="unfinished">«Print %1» &amp; &lt;i&gt; €</translation>
    </message>
    <message numerus="yes">
        <source>%n page(s)</source>
        <translation type="unfinished">
            <numerusform>«%n page(s)» &amp; &lt;i&gt; €#0</numerusform>
            <numerusform>«%n page(s)» &amp; &lt;i&gt; €#1</numerusform>
        </translation>
    </message>
    <message>
        <source>Gone</source>
        <translation type="vanished"></translation>
    </message>
    <message>
        <source>Older</source>
        <translation type="obsolete">Älter</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Half</source>
        <translation type="unfinished">Halb</translation>
    </message>
</context>
</TS>
