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
    <name>pral_matrix::DecoderWatch</name>
    <message>
        <location filename="../platform/decoder_service/decoderwatch.cpp" line="+39"/>
        <source>configuration import</source>
        <translation>配置导入</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>firmware upgrade</source>
        <translation>固件升级</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>password change</source>
        <translation>密码修改</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>address change</source>
        <translation>地址修改</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>factory reset</source>
        <translation>恢复出厂设置</translation>
    </message>
    <message>
        <location line="+66"/>
        <source>waiting up to %1 s for the decoder to come back</source>
        <translation>最多等待 %1 秒，直到解码器重新上线</translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+48"/>
        <source>cannot be checked over this connection</source>
        <translation>无法通过此连接检查</translation>
    </message>
    <message>
        <location line="-16"/>
        <source>not back within %1 s, neither at %2 nor at %3</source>
        <translation>%1 秒内未重新上线，%2 和 %3 均无响应</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>not back within %1 s</source>
        <translation>%1 秒内未重新上线</translation>
    </message>
    <message>
        <location line="+32"/>
        <source>went back to %1: the new address %2 could not be confirmed from this computer</source>
        <translation>已退回 %1：本机无法确认新地址 %2</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>back in its factory state, waiting for activation</source>
        <translation>已恢复出厂状态，等待激活</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>back, but still activated</source>
        <translation>已上线，但仍处于激活状态</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>the new password works</source>
        <translation>新密码可以登录</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+8"/>
        <source>back, but not activated</source>
        <translation>已上线，但未激活</translation>
    </message>
    <message>
        <location line="-6"/>
        <source>the new password is refused</source>
        <translation>新密码被拒绝</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>back, but the login was refused: the change cannot be read back</source>
        <translation>已上线，但登录被拒绝，无法读回修改结果</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>back, but still at %1</source>
        <translation>已上线，但版本仍为 %1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>back, but at version %1 instead of %2</source>
        <translation>已上线，但版本为 %1，而不是 %2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>back on line, version %1 (was %2)</source>
        <translation>已重新上线，版本 %1（原为 %2）</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>back on line, version %1</source>
        <translation>已重新上线，版本 %1</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>back on line; it does not tell which configuration it runs</source>
        <translation>已重新上线；设备未提供当前配置的标识</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>back on line with the imported configuration</source>
        <translation>已重新上线，正在使用导入的配置</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>back, but the imported configuration is not in use</source>
        <translation>已上线，但未使用导入的配置</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>on line at %1, but it reports the address %2</source>
        <translation>已在 %1 上线，但设备报告的地址为 %2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>on line at %1, but with mask %2 instead of %3</source>
        <translation>已在 %1 上线，但子网掩码为 %2，而不是 %3</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>on line at %1, mask %2; the change is confirmed</source>
        <translation>已在 %1 上线，子网掩码 %2；修改已确认</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>on line at %1, mask %2</source>
        <translation>已在 %1 上线，子网掩码 %2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>on line at %1, mask %2; this decoder takes a new address without confirmation: it could not have gone back to %3 by itself</source>
        <translation>已在 %1 上线，子网掩码 %2；此解码器修改地址无需确认，无法自行退回 %3</translation>
    </message>
</context>
<context>
    <name>pral_matrix::FirmwareImage</name>
    <message>
        <location filename="../platform/decoder_service/firmwareimage.cpp" line="+113"/>
        <location line="+26"/>
        <source>the file cannot be read</source>
        <translation>无法读取该文件</translation>
    </message>
    <message>
        <location line="-22"/>
        <source>the file is no firmware image</source>
        <translation>该文件不是固件镜像</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+13"/>
        <source>the image is truncated</source>
        <translation>镜像不完整</translation>
    </message>
    <message>
        <location line="-11"/>
        <source>the image has an unknown format version</source>
        <translation>镜像的格式版本未知</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>the image header is damaged</source>
        <translation>镜像头已损坏</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>the image is longer than announced</source>
        <translation>镜像长度超出其声明</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>the image&apos;s checksum does not match</source>
        <translation>镜像校验和不匹配</translation>
    </message>
</context>
<context>
    <name>pral_matrix::MatrixStore</name>
    <message>
        <location filename="../platform/decoder_service/matrixstore.cpp" line="+232"/>
        <source>the data directory %1 is in use by process %2 (%3 on %4)</source>
        <translation>数据目录 %1 正被进程 %2（%4 上的 %3）占用</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>unnamed</source>
        <translation>未命名程序</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>the lock file %1 cannot be made</source>
        <translation>无法创建锁文件 %1</translation>
    </message>
    <message>
        <location line="+64"/>
        <source>entry %1 is not a decoder</source>
        <translation>第 %1 项不是解码器</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>entry %1 has no address</source>
        <translation>第 %1 项没有地址</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>entries %1 and %2 are both %3; entry %1 is dropped</source>
        <translation>第 %1 项和第 %2 项都是 %3，已舍弃第 %1 项</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>entry %1 is not a named TV wall</source>
        <translation>第 %1 项不是有名称的电视墙</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>entries %1 and %2 are both &quot;%3&quot;; entry %1 is dropped</source>
        <translation>第 %1 项和第 %2 项都是“%3”，已舍弃第 %1 项</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>cannot be read (%1)</source>
        <translation>无法读取（%1）</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>is not valid JSON (%1 at byte %2)</source>
        <translation>不是有效的 JSON（第 %2 字节处：%1）</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>is not a %1 document</source>
        <translation>不是 %1 文档</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>was written by a newer version</source>
        <translation>由更高版本的程序写入</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>%1 %2; it was kept as %3 and an empty list is used.</source>
        <translation>%1 %2；原文件已另存为 %3，现使用空列表。</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 %2 and could not be moved aside; an empty list is used and the file will not be written over.</source>
        <translation>%1 %2，且无法移至别处；现使用空列表，该文件不会被覆盖。</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>%1 more</source>
        <translation>另有 %1 项</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>; </source>
        <extracomment>Between the problems of a damaged list, within one sentence.</extracomment>
        <translation>；</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1 is damaged; what could not be used is left out: %2. The file as it was is kept as %3.</source>
        <translation>%1 已损坏，无法使用的内容已略去：%2。原文件已另存为 %3。</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1 is damaged (%2) and could not be copied aside; it will not be written over, so changes to this list are not saved.</source>
        <translation>%1 已损坏（%2），且无法另存副本；该文件不会被覆盖，因此对此列表的修改不会保存。</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>The stored passwords of %1 decoder(s) cannot be opened: %2. They are not logged in: %3.</source>
        <translation>%1 台解码器已保存的密码无法解密：%2。以下解码器未登录：%3。</translation>
    </message>
    <message>
        <location line="+5"/>
        <source> To recover them, quit and put the original key file back at %1; nothing is lost meanwhile. If it is lost for good, log in to each of these decoders again (Decoder Management, the row&apos;s login button); a new key is made once no decoder waits for the old one.</source>
        <translation>如需恢复，请退出程序并将原密钥文件放回 %1，在此期间不会丢失任何数据。如果原密钥文件已永久丢失，请重新登录这些解码器（“解码器管理”中该行的登录按钮）；当不再有解码器等待旧密钥时，将生成新密钥。</translation>
    </message>
    <message>
        <location line="+6"/>
        <source> They were sealed under another key or altered. Log in to each of these decoders again (Decoder Management, the row&apos;s login button); until then the old values are kept.</source>
        <translation>这些密码由其他密钥加密，或已被改动。请重新登录这些解码器（“解码器管理”中该行的登录按钮）；在此之前将保留原有的值。</translation>
    </message>
    <message>
        <location line="+118"/>
        <source>No key for the decoder passwords could be made: %1</source>
        <translation>无法生成解码器密码的密钥：%1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The key file %1 was damaged; it was moved aside and a new key was made.</source>
        <translation>密钥文件 %1 已损坏，已将其移至别处并生成了新密钥。</translation>
    </message>
    <message>
        <location line="+80"/>
        <source>its damaged file could not be kept aside</source>
        <translation>已损坏的原文件无法另存</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Decoder passwords entered now are used but not saved: %1.</source>
        <translation>现在输入的解码器密码可以使用，但不会被保存：%1。</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>%1 is saved again.</source>
        <translation>%1 已恢复保存。</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Changes to %1 are not saved: %2.</source>
        <translation>对 %1 的修改未保存：%2。</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>the data directory %1 cannot be made</source>
        <translation>无法创建数据目录 %1</translation>
    </message>
</context>
<context>
    <name>pral_matrix::RecordJson</name>
    <message>
        <location filename="../platform/decoder_service/recordjson.cpp" line="+49"/>
        <source>is not a whole number in range</source>
        <translation>不是有效范围内的整数</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>is not a text</source>
        <translation>不是文本</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>is not valid text</source>
        <translation>不是有效的文本</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>is not true or false</source>
        <translation>不是 true 或 false</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>is not a list</source>
        <translation>不是列表</translation>
    </message>
    <message>
        <location line="+211"/>
        <source>has more than %1 screens</source>
        <translation>的屏幕多于 %1 块</translation>
    </message>
    <message>
        <location filename="../platform/decoder_service/matrixstore.cpp" line="-355"/>
        <location filename="../platform/decoder_service/recordjson.cpp" line="-203"/>
        <source>is not an object</source>
        <translation>不是对象</translation>
    </message>
    <message>
        <location line="-2"/>
        <location filename="../platform/decoder_service/recordjson.cpp" line="+8"/>
        <source>%1: &quot;%2&quot; %3</source>
        <translation>%1：“%2”%3</translation>
    </message>
    <message>
        <location filename="../platform/decoder_service/recordjson.cpp" line="+78"/>
        <source>entry %1 is not three numbers</source>
        <translation>第 %1 项不是三个数字</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>entry %1 is not an object</source>
        <translation>第 %1 项不是对象</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>is not a 64-bit number</source>
        <translation>不是 64 位整数</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>a TV wall</source>
        <translation>某个电视墙</translation>
    </message>
    <message>
        <location line="+10"/>
        <location line="+54"/>
        <source>screen %1 is not an object</source>
        <translation>第 %1 个屏幕不是对象</translation>
    </message>
</context>
<context>
    <name>pral_matrix::SafeFile</name>
    <message>
        <location filename="../platform/decoder_service/safefile.cpp" line="+47"/>
        <location line="+8"/>
        <location line="+3"/>
        <source>cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
</context>
<context>
    <name>pral_matrix::SecretBox</name>
    <message>
        <location filename="../platform/decoder_service/secretbox.cpp" line="+45"/>
        <source>cannot create the key file %1: %2</source>
        <translation>无法创建密钥文件 %1：%2</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>cannot write the key file %1</source>
        <translation>无法写入密钥文件 %1</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>no key file is configured</source>
        <translation>未配置密钥文件</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>libsodium could not be initialised</source>
        <translation>无法初始化 libsodium</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>the key file %1 is missing</source>
        <translation>密钥文件 %1 不存在</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>the key file %1 cannot be read: %2</source>
        <translation>无法读取密钥文件 %1：%2</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>the key file %1 is damaged (%2 bytes instead of %3)</source>
        <translation>密钥文件 %1 已损坏（大小为 %2 字节，应为 %3 字节）</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>the damaged key file %1 cannot be moved aside</source>
        <translation>无法移走已损坏的密钥文件 %1</translation>
    </message>
    <message>
        <location line="+36"/>
        <source>not a sealed value</source>
        <translation>不是加密值</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>the sealed value is cut short</source>
        <translation>加密值不完整</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>a sealed value does not open with this key for this entry</source>
        <translation>加密值无法用当前密钥为该条目解密</translation>
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
