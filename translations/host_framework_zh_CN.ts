<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>PCOMMON::DatetimeSpanSelWt</name>
    <message>
        <location filename="../platform/host_framework/datetimespanselwt.cpp" line="+56"/>
        <source>Start time</source>
        <translation>开始时间</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>End time</source>
        <translation>结束时间</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location line="+80"/>
        <source>The end time cannot be earlier than the start time!</source>
        <translation>结束时间不能早于开始时间！</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The time span cannot exceed %1 days!</source>
        <translation>时间跨度不能超过%1天！</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The time span cannot exceed %1 seconds!</source>
        <translation>时间跨度不能超过%1秒！</translation>
    </message>
</context>
<context>
    <name>PCOMMON::PMessageBox</name>
    <message>
        <location filename="../platform/host_framework/pmessagebox.cpp" line="+54"/>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location line="+34"/>
        <source>Tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Confirm</source>
        <translation>确认</translation>
    </message>
</context>
<context>
    <name>PCOMMON::PageEditWt</name>
    <message>
        <location filename="../platform/host_framework/pageeditwt.cpp" line="+42"/>
        <source>per page</source>
        <translation>条/页</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>First page</source>
        <translation>首页</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Previous page</source>
        <translation>上一页</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Next page</source>
        <translation>下一页</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Last page</source>
        <translation>尾页</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Go</source>
        <translation>跳转</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Go to page</source>
        <translation>跳转到该页</translation>
    </message>
    <message>
        <location line="+136"/>
        <source>Total %1</source>
        <translation>共%1条</translation>
    </message>
</context>
<context>
    <name>PCOMMON::PasswordLineEdit</name>
    <message>
        <location filename="../platform/host_framework/passwordlineedit.cpp" line="+42"/>
        <location line="+11"/>
        <source>Show password</source>
        <translation>显示密码</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Hide password</source>
        <translation>隐藏密码</translation>
    </message>
</context>
<context>
    <name>PCOMMON::SelDirLineEt</name>
    <message>
        <location filename="../platform/host_framework/seldirlineet.cpp" line="+26"/>
        <source>Browse</source>
        <translation>浏览</translation>
    </message>
</context>
</TS>
