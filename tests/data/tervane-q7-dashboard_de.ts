<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>tervane::UtilsPage</name>
    <message>
        <source>Utilities</source>
        <translation>Werkzeuge</translation>
    </message>
    <message>
        <source>Restore factory defaults</source>
        <translation>Werkseinstellungen wiederherstellen</translation>
    </message>
</context>
</TS>
