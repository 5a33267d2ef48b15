<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>pral_matrix::ConnectStateTipWt</name>
    <message>
        <location filename="../platform/decoder_service/connectstatetipwt.ui" line="+10"/>
        <location line="+11"/>
        <source>Decoder connection</source>
        <translation>解码器连接</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Dismiss</source>
        <translation>忽略</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>Reconnect</source>
        <translation>重新连接</translation>
    </message>
</context>
<context>
    <name>pral_matrix::UserLoginDlg</name>
    <message>
        <location filename="../platform/decoder_service/userlogindlg.ui" line="+10"/>
        <location line="+18"/>
        <location filename="../platform/decoder_service/userlogindlg.cpp" line="+12"/>
        <source>User Login</source>
        <translation>用户登录</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>User Name</source>
        <translation>用户名</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Password</source>
        <translation>密码</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../platform/decoder_service/userlogindlg.cpp" line="+38"/>
        <source>Please enter the user name!</source>
        <translation>请输入用户名！</translation>
    </message>
</context>
</TS>
