<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>DeviceCodec</name>
    <message>
        <location filename="../platform/decoder_network/devicecodec.cpp" line="+113"/>
        <source>%1 scopes (1 to %2)</source>
        <translation>%1 个范围（应为 1 到 %2 个）</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>the scope &quot;%1&quot;</source>
        <translation>范围“%1”</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>%1 users (1 to %2)</source>
        <translation>%1 个用户（应为 1 到 %2 个）</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>the user name &quot;%1&quot;</source>
        <translation>用户名“%1”</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>a password of %1 characters (at most %2)</source>
        <translation>长 %1 个字符的密码（最多 %2 个）</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>the user level &quot;%1&quot;</source>
        <translation>用户级别“%1”</translation>
    </message>
</context>
<context>
    <name>DeviceDiscovery</name>
    <message>
        <location filename="../platform/decoder_network/devicediscovery.cpp" line="+81"/>
        <source>Decoder(%1) reported %2, which this client cannot hold; it is not listed.</source>
        <translation>解码器(%1)报告了%2，本客户端无法容纳，未列出该解码器。</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>Decoder(%1) answered the search for another address (%2); the answer was ignored.</source>
        <translation>解码器(%1)以另一个地址(%2)应答搜索，该应答已被忽略。</translation>
    </message>
    <message>
        <location line="+51"/>
        <source>The decoder id %1 answered from %2: different hosts claim it, so none of them is activated or sent a password until a search finds it at one address only.</source>
        <translation>解码器标识 %1 从 %2 应答：不同主机声称拥有该标识，在搜索只在一个地址找到它之前，不会激活其中任何一个，也不会向其发送密码。</translation>
    </message>
</context>
<context>
    <name>DeviceServiceClient</name>
    <message>
        <location filename="../platform/decoder_network/deviceserviceclient.cpp" line="+265"/>
        <source>%1 video outputs (at most %2)</source>
        <translation>%1 个视频输出（最多 %2 个）</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Decoder(%1) named another host (%2) for its services; its calls stay at %1.</source>
        <translation>解码器(%1)为其服务指定了另一主机(%2)；请求仍发往 %1。</translation>
    </message>
    <message>
        <location line="+73"/>
        <source>Decoder(%1) tells its network settings only after a login: only its address is filled in.</source>
        <translation>解码器(%1)仅在登录后才提供其网络设置：只填入了它的地址。</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Decoder(%1) reported no network interface.</source>
        <translation>解码器(%1)未报告任何网络接口。</translation>
    </message>
    <message>
        <location line="+71"/>
        <source>an IPv4 prefix length of %1 (0 to 32)</source>
        <translation>IPv4 前缀长度 %1（应为 0 到 32）</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>an IPv6 prefix length of %1 (0 to 128)</source>
        <translation>IPv6 前缀长度 %1（应为 0 到 128）</translation>
    </message>
</context>
<context>
    <name>DiscoveryClient</name>
    <message>
        <location filename="../platform/decoder_network/discoveryclient.cpp" line="+138"/>
        <location line="+41"/>
        <source>Decoder(%1) reported %2, which this client cannot hold; it is not listed.</source>
        <translation>解码器(%1)报告了%2，本客户端无法容纳，未列出该解码器。</translation>
    </message>
    <message>
        <location line="-40"/>
        <source>%1 video outputs (at most %2)</source>
        <translation>%1 个视频输出（最多 %2 个）</translation>
    </message>
</context>
<context>
    <name>DisplayCodec</name>
    <message>
        <location filename="../platform/decoder_network/displaycodec.cpp" line="+105"/>
        <source>%1 panes (at most %2)</source>
        <translation>%1 个窗格（最多 %2 个）</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>the area of the pane &quot;%1&quot;</source>
        <translation>窗格“%1”的区域</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>a pane configuration without a token</source>
        <translation>没有令牌的窗格配置</translation>
    </message>
</context>
<context>
    <name>OnvifCodec</name>
    <message>
        <location filename="../platform/decoder_network/onvifcodec.cpp" line="+263"/>
        <source>a channel count of %1</source>
        <translation>通道数 %1</translation>
    </message>
    <message>
        <location line="+7"/>
        <location line="+53"/>
        <source>%1 outputs (at most %2)</source>
        <translation>%1 个输出（最多 %2 个）</translation>
    </message>
    <message>
        <location line="-45"/>
        <source>an output &quot;%1&quot;</source>
        <translation>输出“%1”</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>a version of %1 characters (at most %2)</source>
        <translation>长 %1 个字符的版本号（最多 %2 个）</translation>
    </message>
    <message>
        <location line="+71"/>
        <location line="+26"/>
        <source>the decoder kind %1 (1 or 3)</source>
        <translation>解码器类型 %1（应为 1 或 3）</translation>
    </message>
    <message>
        <location line="-79"/>
        <source>a device id of %1 bytes (1 to %2 printable)</source>
        <translation>长 %1 字节的设备标识（应为 1 到 %2 个可打印字符）</translation>
    </message>
    <message>
        <location line="-10"/>
        <source>the decoder kind %1 (0, 1 or 3)</source>
        <translation>解码器类型 %1（应为 0、1 或 3）</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>%1 channels (0 to %2)</source>
        <translation>%1 个通道（应为 0 到 %2）</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>the output %1 numbered %2 (1 to %3)</source>
        <translation>编号为 %2 的输出 %1（编号应为 1 到 %3）</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>the address &quot;%1&quot;</source>
        <translation>地址“%1”</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>a wall of %1 x %2 screens (1 to %3 each way)</source>
        <translation>%1 x %2 屏的电视墙（每边应为 1 到 %3）</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>a wall name of %1 bytes (at most %2)</source>
        <translation>长 %1 字节的电视墙名称（最多 %2 字节）</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>%1 screens on a wall of %2 x %3</source>
        <translation>%2 x %3 的电视墙上有 %1 个屏幕</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>a screen at row %1, column %2 of a wall of %3 x %4</source>
        <translation>%3 x %4 电视墙第 %1 行第 %2 列的屏幕</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>the channel %1 of a screen (0 to %2)</source>
        <translation>屏幕的通道 %1（应为 0 到 %2）</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>a colour value of %1 (0 to %2)</source>
        <translation>颜色值 %1（应为 0 到 %2）</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>a resolution of %1 x %2 at %3 Hz</source>
        <translation>分辨率 %1 x %2，%3 Hz</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>a login refusal of the kind &quot;%1&quot;</source>
        <translation>类型为“%1”的登录拒绝</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>a login refusal counting %1 tries of %2, a lock of %3 minutes and %4 seconds left</source>
        <translation>登录拒绝：已尝试 %1 次（共 %2 次），锁定 %3 分钟，剩余 %4 秒</translation>
    </message>
</context>
<context>
    <name>OnvifTransport</name>
    <message>
        <location filename="../platform/decoder_network/onviftransport.cpp" line="+296"/>
        <source>Decoder(%1) sent a reply of more than %2; it could not be read.</source>
        <translation>解码器(%1)发送的应答超过 %2，无法读取。</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Decoder(%1) sent more than %2 header lines or %3 KB of headers; the call was ended.</source>
        <translation>解码器(%1)发送的头部超过 %2 行或 %3 KB，已结束该请求。</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>Decoder(%1) could not prove over TLS that it is the decoder known at this address; nothing was sent.</source>
        <translation>解码器(%1)无法通过 TLS 证明自己是此地址上已知的解码器，未发送任何内容。</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Decoder(%1) named another host (%2) for its services; its calls stay at %1.</source>
        <translation>解码器(%1)为其服务指定了另一主机(%2)；请求仍发往 %1。</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Decoder(%1) showed another TLS key than the one it was first trusted with: it may not be the decoder it claims to be, and nothing was sent to it. If its certificate was renewed on purpose, remove its entry from %2 and log in again.</source>
        <translation>解码器(%1)出示的 TLS 密钥与首次信任时的不同：它可能并非其所声称的解码器，未向其发送任何内容。如果其证书是有意更新的，请从 %2 中删除它的条目后重新登录。</translation>
    </message>
    <message>
        <location line="+56"/>
        <location line="+64"/>
        <source>Decoder(%1) reported %2, which this client cannot hold; the reply was refused.</source>
        <translation>解码器(%1)报告了%2，本客户端无法容纳，已拒绝该应答。</translation>
    </message>
    <message>
        <location line="-62"/>
        <source>a fault with the result code %1 (a negative number)</source>
        <translation>结果码为 %1 的错误（应为负数）</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>Decoder(%1) did not answer within %2 s.</source>
        <translation>解码器(%1)在 %2 秒内未应答。</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Decoder(%1) refused the connection.</source>
        <translation>解码器(%1)拒绝了连接。</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Decoder(%1) sent a reply that could not be read.</source>
        <translation>解码器(%1)发送的应答无法读取。</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Decoder(%1) closed the connection before it replied.</source>
        <translation>解码器(%1)在应答前关闭了连接。</translation>
    </message>
</context>
<context>
    <name>ReceiverCodec</name>
    <message>
        <location filename="../platform/decoder_network/receivercodec.cpp" line="+118"/>
        <source>no receiver configuration</source>
        <translation>缺少接收器配置</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>the receiver mode &quot;%1&quot;</source>
        <translation>接收器模式“%1”</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>a media address of %1 characters (1 to %2)</source>
        <translation>长 %1 个字符的媒体地址（应为 1 到 %2 个）</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>the stream type &quot;%1&quot;</source>
        <translation>流类型“%1”</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>the transport protocol &quot;%1&quot;</source>
        <translation>传输协议“%1”</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1 sources (at most %2)</source>
        <translation>%1 个信号源（最多 %2 个）</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>a receiver without a token</source>
        <translation>没有令牌的接收器</translation>
    </message>
</context>
<context>
    <name>pral_matrix::OnvifBackend</name>
    <message>
        <location filename="../platform/decoder_network/onvifbackend.cpp" line="+265"/>
        <source>Decoder(%1) does not support TV walls.</source>
        <translation>解码器(%1)不支持电视墙。</translation>
    </message>
    <message>
        <location line="+93"/>
        <source>The decoder id %1 answered from %2: it was not activated. Search again once only the decoder itself answers.</source>
        <translation>解码器标识 %1 从 %2 应答：未激活。请在只有该解码器本身应答时重新搜索。</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>Another host claims the id of decoder(%1) (%2): its password was not changed. Search again once only the decoder answers.</source>
        <translation>另一主机声称拥有解码器(%1)的标识(%2)：未修改其密码。请在只有该解码器应答时重新搜索。</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Decoder(%1) did not answer a search as the decoder %2: its password was not sent.</source>
        <translation>解码器(%1)未以解码器 %2 的身份应答搜索：未发送其密码。</translation>
    </message>
</context>
</TS>
