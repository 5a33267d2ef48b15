<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>HostWindow</name>
    <message>
        <location filename="../apps/tvwall/hostwindow.cpp" line="+62"/>
        <source>TV Wall Management</source>
        <translation>电视墙管理</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <location line="-26"/>
        <source>Video Management Client</source>
        <translation>视频管理客户端</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Live View</source>
        <translation>实时预览</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Playback</source>
        <translation>录像回放</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+6"/>
        <source>TV Wall Management</source>
        <translation>电视墙管理</translation>
    </message>
    <message>
        <location line="-6"/>
        <source>Devices</source>
        <translation>设备管理</translation>
    </message>
    <message>
        <location filename="../apps/tvwall/main.cpp" line="+154"/>
        <source>%1. Quit that one first, or start this one with a data directory of its own (--data-dir DIR).</source>
        <translation>%1。请先退出该程序，或为本程序指定单独的数据目录（--data-dir DIR）启动。</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>tvwall cannot start: %1</source>
        <translation>tvwall 无法启动：%1</translation>
    </message>
    <message>
        <location line="+57"/>
        <source>%1 network problems; the first: %2</source>
        <translation>%1 个网络问题；第一个：%2</translation>
    </message>
</context>
</TS>
