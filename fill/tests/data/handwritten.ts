<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>Dialog</name>
    <message>
        <location filename="dialog.cpp" line="12"/>
        <source>Close</source>
        <translation type="unfinished"/>
    </message>
    <message>
        <source>Print %1</source>
        <comment>verb</comment>
    </message>
    <message numerus="yes">
        <source>%n page(s)</source>
        <translation type="unfinished">
            <numerusform></numerusform>
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
