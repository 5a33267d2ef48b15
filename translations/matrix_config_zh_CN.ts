<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>pral_matrixConfig::AddMatrixDlg</name>
    <message>
        <location filename="../matrix_config/editing/addmatrixdlg.ui" line="+8"/>
        <location line="+18"/>
        <location filename="../matrix_config/editing/addmatrixdlg.cpp" line="+95"/>
        <source>Add a TV Wall</source>
        <translation>添加电视墙</translation>
    </message>
    <message>
        <location line="+45"/>
        <location line="+75"/>
        <location line="+75"/>
        <source>TV wall name setting</source>
        <translation>设置电视墙名称</translation>
    </message>
    <message>
        <location line="-142"/>
        <location line="+75"/>
        <location line="+75"/>
        <source>Select the main decoder</source>
        <translation>选择主解码器</translation>
    </message>
    <message>
        <location line="-142"/>
        <location line="+75"/>
        <location line="+75"/>
        <source>Select the output</source>
        <translation>选择输出</translation>
    </message>
    <message>
        <location line="-135"/>
        <location line="+165"/>
        <source>TV wall name</source>
        <translation>电视墙名称</translation>
    </message>
    <message>
        <location line="-90"/>
        <location line="+102"/>
        <source>main decoder</source>
        <translation>主解码器</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Binding settings</source>
        <translation>绑定设置</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Screen adjustment</source>
        <translation>屏幕调节</translation>
    </message>
    <message>
        <location line="+48"/>
        <source>last step</source>
        <translation>上一步</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>next step</source>
        <translation>下一步</translation>
    </message>
    <message>
        <location line="+7"/>
        <location line="+7"/>
        <source>save</source>
        <translation>保存</translation>
    </message>
    <message>
        <location line="+7"/>
        <location line="+7"/>
        <source>cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../matrix_config/editing/addmatrixdlg.cpp" line="+4"/>
        <source>Please enter the name of the TV wall (no more than 20 characters)</source>
        <translation>请输入电视墙名称（不超过20字节，一个汉字占3字节）</translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+473"/>
        <location line="+6"/>
        <location line="+31"/>
        <source>Edit a TV Wall</source>
        <translation>编辑电视墙</translation>
    </message>
    <message>
        <location line="-507"/>
        <source>edit</source>
        <translation>编辑</translation>
    </message>
    <message>
        <location line="+130"/>
        <source>Please enter the name of the TV wall!</source>
        <translation>请输入电视墙名称！</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>TV-wall name cannot be longer than 20 characters!</source>
        <translation>电视墙名称不能超过20字节（一个汉字占3字节）！</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The TV wall name already exists!</source>
        <translation>该电视墙名称已存在！</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>TV wall name already exists, please reenter!</source>
        <translation>电视墙名称已存在，请重新输入！</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Saving the current configuration will empty the TV wall. Are you sure to continue?</source>
        <translation>保存当前配置将清空电视墙，确定要继续吗？</translation>
    </message>
    <message>
        <location line="-9"/>
        <source>TV wall configuration...</source>
        <translation>正在配置电视墙...</translation>
    </message>
    <message>
        <location line="+58"/>
        <source>Set the TV wall successfully!</source>
        <translation>电视墙设置成功！</translation>
    </message>
    <message>
        <location line="+99"/>
        <source>The TV wall could not be read back from decoder %1: whether it holds what was sent is not known.</source>
        <translation>无法从解码器 %1 读回电视墙：不能确定它是否保存了所发送的内容。</translation>
    </message>
    <message>
        <location line="-80"/>
        <source>Failed to set the TV wall,ret = %1!</source>
        <translation>电视墙设置失败，错误码：%1！</translation>
    </message>
    <message>
        <location line="+53"/>
        <source>The TV wall &quot;%1&quot; is taken as decoder %2 holds it; nothing was sent.</source>
        <translation>电视墙“%1”已按解码器 %2 上保存的版本采用，未发送任何内容。</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>named &quot;%1&quot;</source>
        <translation>名称为“%1”</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 x %2 screens</source>
        <translation>%1 × %2 块屏幕</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 screen(s) bound otherwise</source>
        <translation>%1 块屏幕的绑定不同</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Decoder %1 stored another TV wall than the one sent: %2. The page shows the TV wall as the decoder holds it.</source>
        <translation>解码器 %1 保存的电视墙与所发送的不同：%2。页面按解码器上保存的版本显示该电视墙。</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>, </source>
        <translation>，</translation>
    </message>
    <message>
        <location line="+70"/>
        <location line="+51"/>
        <source>There is an unbinging screen.</source>
        <translation>还有未绑定的屏幕。</translation>
    </message>
    <message>
        <location line="-36"/>
        <source>binding set</source>
        <translation>绑定设置</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Adjust Screen</source>
        <translation>屏幕调节</translation>
    </message>
    <message>
        <location line="+67"/>
        <source>Are you sure you want to cancel the configuration of screen adjustment?</source>
        <translation>确定要取消本次屏幕调节的配置吗？</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Cancel configuration of screen adjustment...</source>
        <translation>正在取消屏幕调节配置...</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::AdjustScreen</name>
    <message>
        <location filename="../matrix_config/editing/adjustscreen.ui" line="+6"/>
        <source>Adjust Screen</source>
        <translation>屏幕调节</translation>
    </message>
    <message>
        <location line="+34"/>
        <source>Resolution adjustment</source>
        <translation>分辨率调节</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>screen resolution setting</source>
        <translation>屏幕分辨率设置</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Image adjustment</source>
        <translation>图像调节</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Screen display</source>
        <translation>屏幕显示</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Video Preview</source>
        <translation>视频预览</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Background image looping</source>
        <translation>背景图片轮播</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Red background</source>
        <translation>红色背景</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Green background</source>
        <translation>绿色背景</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Blue background</source>
        <translation>蓝色背景</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Black background</source>
        <translation>黑色背景</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>White background</source>
        <translation>白色背景</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>screen Parameter setting</source>
        <translation>屏幕参数设置</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>brightness</source>
        <translation>亮度</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>chroma</source>
        <translation>色度</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>Sharpness</source>
        <translation>锐度</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>contrast ratio</source>
        <translation>对比度</translation>
    </message>
    <message>
        <location filename="../matrix_config/editing/adjustscreen.cpp" line="+150"/>
        <source>Screen Color reading failed!</source>
        <translation>读取屏幕色彩失败！</translation>
    </message>
    <message>
        <location line="+66"/>
        <source>Screen Color setting failed!</source>
        <translation>屏幕色彩设置失败！</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Screen Color set successfully!</source>
        <translation>屏幕色彩设置成功！</translation>
    </message>
    <message>
        <location line="+145"/>
        <source>Resolution setting failed!</source>
        <translation>分辨率设置失败！</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Resolution set successfully!</source>
        <translation>分辨率设置成功！</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::BatchUpgradeDlg</name>
    <message>
        <location filename="../matrix_config/maintenance/batchupgradedlg.ui" line="+8"/>
        <location line="+19"/>
        <location filename="../matrix_config/maintenance/batchupgradedlg.cpp" line="+109"/>
        <source>Upgrade firmware</source>
        <translation>升级固件</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>Firmware image</source>
        <translation>固件镜像</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Upgrades at a time</source>
        <translation>同时升级台数</translation>
    </message>
    <message>
        <location line="+68"/>
        <source>Export CSV</source>
        <translation>导出 CSV</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Retry failed</source>
        <translation>重试失败项</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <location filename="../matrix_config/maintenance/batchupgradedlg.cpp" line="+14"/>
        <source>Please select the decoder file</source>
        <translation>请选择解码器升级文件</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>How many decoders are out of service at once, from their upload until they are checked back</source>
        <translation>同时停止服务的解码器台数：从上传开始，直到复查恢复为止</translation>
    </message>
    <message>
        <location line="+4"/>
        <location line="+3"/>
        <source>Decoder</source>
        <translation>解码器</translation>
    </message>
    <message>
        <location line="-3"/>
        <source>Connected</source>
        <translation>已连接</translation>
    </message>
    <message>
        <location line="+0"/>
        <location line="+3"/>
        <source>Model</source>
        <translation>型号</translation>
    </message>
    <message>
        <location line="-3"/>
        <source>Running version</source>
        <translation>当前版本</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Image</source>
        <translation>镜像</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Check</source>
        <translation>检查结果</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Before</source>
        <translation>升级前</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>After</source>
        <translation>升级后</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>State</source>
        <translation>状态</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <location line="+54"/>
        <source>Select the directory</source>
        <translation>选择升级文件</translation>
    </message>
    <message>
        <location line="+54"/>
        <source>the image is damaged: %1</source>
        <translation>镜像已损坏：%1</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+175"/>
        <source>not connected</source>
        <translation>未连接</translation>
    </message>
    <message>
        <location line="-173"/>
        <source>the decoder does not tell its model</source>
        <translation>解码器未报告其型号</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>the image is made for %1, not for %2</source>
        <translation>镜像适用于 %1，不适用于 %2</translation>
    </message>
    <message>
        <location line="+4"/>
        <location line="+132"/>
        <source>latest: it runs %1 already</source>
        <translation>已是最新：已在运行 %1</translation>
    </message>
    <message>
        <location line="-130"/>
        <source>the versions %1 and %2 cannot be compared</source>
        <translation>版本 %1 与 %2 无法比较</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>the image&apos;s %1 is older than the running %2</source>
        <translation>镜像版本 %1 低于当前运行的 %2</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>checking...</source>
        <translation>检查中...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>choose an image</source>
        <translation>请选择镜像</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>yes</source>
        <translation>是</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>no</source>
        <translation>否</translation>
    </message>
    <message>
        <location line="+312"/>
        <source>The image cannot be used: %1</source>
        <translation>该镜像无法使用：%1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The image installs %1 on %2: %3 of %4 decoder(s) can take it; the others are left out, each with the reason.</source>
        <translation>该镜像为 %2 安装 %1：%4 台解码器中有 %3 台可以使用；其余已排除，并注明原因。</translation>
    </message>
    <message>
        <location line="-304"/>
        <source>damaged</source>
        <translation>已损坏</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>sound</source>
        <translation>完好</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>ready</source>
        <translation>可以升级</translation>
    </message>
    <message>
        <location line="+0"/>
        <location line="+249"/>
        <source>left out: %1</source>
        <translation>已排除：%1</translation>
    </message>
    <message>
        <location line="-227"/>
        <source>No decoder can take this image.</source>
        <translation>没有解码器可以使用此镜像。</translation>
    </message>
    <message>
        <location line="+76"/>
        <source>done</source>
        <translation>完成</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>done: %1</source>
        <translation>完成：%1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>failed: %1</source>
        <translation>失败：%1</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>error code %1</source>
        <translation>错误码 %1</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>the decoder refused the image</source>
        <translation>解码器拒绝了该镜像</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>the decoder is taking another image</source>
        <translation>解码器正在接收另一个镜像</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>the upgrade could not start (%1)</source>
        <translation>升级无法开始（%1）</translation>
    </message>
    <message>
        <location line="+48"/>
        <source>cancelled before it started</source>
        <translation>未开始即已取消</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>%1 upgrade(s) under way cannot be interrupted: the window can be closed once they have ended.</source>
        <translation>%1 台正在进行的升级不能中断：待其结束后才能关闭窗口。</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>waiting</source>
        <translation>等待中</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>sending %1%</source>
        <translation>发送中 %1%</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>restarting</source>
        <translation>重启中</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>verifying</source>
        <translation>复查中</translation>
    </message>
    <message>
        <location line="+48"/>
        <source>Choose the firmware image for the %1 decoder(s) chosen.</source>
        <translation>请为选中的 %1 台解码器选择固件镜像。</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Checking the image and the decoders...</source>
        <translation>正在检查镜像和解码器...</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>%1 of %2 decoder(s) upgraded, %3 failed, %4 under way, %5 waiting; at most %6 at a time.</source>
        <translation>%2 台解码器中已升级 %1 台，失败 %3 台，进行中 %4 台，等待 %5 台；最多同时 %6 台。</translation>
    </message>
    <message>
        <location line="+54"/>
        <source>save file</source>
        <translation>保存文件</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>CSV file (*.csv)</source>
        <translation>CSV 文件 (*.csv)</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>The results could not be written to %1.</source>
        <translation>结果无法写入 %1。</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The results are in %1.</source>
        <translation>结果已保存到 %1。</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::CheckScreenTreeItem</name>
    <message>
        <location filename="../matrix_config/workspace/checkscreentreeitem.cpp" line="+14"/>
        <location line="+17"/>
        <source>check screen</source>
        <translation>屏幕检测</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>checking</source>
        <translation>检测中</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::ConnectMatrixItem</name>
    <message>
        <location filename="../matrix_config/workspace/connectmatrixitem.cpp" line="+64"/>
        <source>Changed on the decoder since this desk last saw it. Click the TV wall to see it.</source>
        <translation>自本工作台上次查看以来，解码器上的该电视墙已被更改。单击该电视墙查看。</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::DecoderConfigDlg</name>
    <message>
        <location filename="../matrix_config/maintenance/decoderconfigdlg.ui" line="+8"/>
        <location line="+19"/>
        <location filename="../matrix_config/maintenance/decoderconfigdlg.cpp" line="+62"/>
        <source>Device config</source>
        <translation>设备配置</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>view log</source>
        <translation>查看日志</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>network config</source>
        <translation>网络配置</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>change password</source>
        <translation>修改密码</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>import configration</source>
        <translation>导入配置</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>export configration</source>
        <translation>导出配置</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>upgrade decoder</source>
        <translation>升级解码器</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>resolution configgration</source>
        <translation>分辨率配置</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>factory reset</source>
        <translation>恢复出厂设置</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <location filename="../matrix_config/maintenance/decoderconfigdlg.cpp" line="+110"/>
        <source>Decoding card network information acquisition failed, please search again!</source>
        <translation>获取解码卡网络信息失败，请重新搜索！</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>The address already exists, please modify it again!</source>
        <translation>该地址已存在，请重新修改！</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Importing...</source>
        <translation>正在导入...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Exporting...</source>
        <translation>正在导出...</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>Decoder configuration imported successfully,The decoder will be restarted, please pull up the configuration yourself later!</source>
        <translation>解码器配置导入成功，解码器即将重启，请稍后自行重新获取配置！</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Decoder configuration import failed! ret = %1</source>
        <translation>解码器配置导入失败！错误码：%1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Decoder configuration exported successfully!</source>
        <translation>解码器配置导出成功！</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Decoder configuration export failed! ret = %1</source>
        <translation>解码器配置导出失败！错误码：%1</translation>
    </message>
    <message>
        <location line="+54"/>
        <source>Resolution set successfully!</source>
        <translation>分辨率设置成功！</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Resolution setting failed!</source>
        <translation>分辨率设置失败！</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::DecoderManagementDlg</name>
    <message>
        <location filename="../matrix_config/decoders/decodermanagementdlg.ui" line="+8"/>
        <location line="+18"/>
        <location filename="../matrix_config/decoders/decodermanagementdlg.cpp" line="+230"/>
        <location line="+1"/>
        <source>Decoder Management</source>
        <translation>解码器管理</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>Decoder List</source>
        <translation>解码器列表</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>refresh</source>
        <translation>刷新</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Path activation</source>
        <translation>批量激活</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Batch password change</source>
        <translation>批量修改密码</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>upgrade firmware</source>
        <translation>升级固件</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>Number</source>
        <translation>序号</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Decoder Ip</source>
        <translation>解码器IP</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Channels Cnt</source>
        <translation>通道数</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Version</source>
        <translation>版本</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Connect Status</source>
        <translation>连接状态</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Oper</source>
        <translation>操作</translation>
    </message>
    <message>
        <location line="+54"/>
        <source>ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../matrix_config/decoders/decodermanagementdlg.cpp" line="-12"/>
        <location line="+1"/>
        <source>Search Decoder</source>
        <translation>搜索解码器</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Add</source>
        <translation>添加</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Active status</source>
        <translation>激活状态</translation>
    </message>
    <message>
        <location line="+122"/>
        <source>no video output</source>
        <translation>无视频输出</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1, no video output</source>
        <translation>%1，无视频输出</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>This device has no video output: it can be managed here, but not used in a TV wall.</source>
        <translation>此设备没有视频输出：可在此管理，但不能用于电视墙。</translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+747"/>
        <location line="+29"/>
        <source>connecting</source>
        <translation>连接中</translation>
    </message>
    <message>
        <location line="-775"/>
        <location line="+309"/>
        <location line="+514"/>
        <source>activated</source>
        <translation>已激活</translation>
    </message>
    <message>
        <location line="-822"/>
        <location line="+460"/>
        <source>unactivated</source>
        <translation>未激活</translation>
    </message>
    <message>
        <location line="-207"/>
        <source>Decoder searching...</source>
        <translation>正在搜索解码器...</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>No new decoder found!</source>
        <translation>未发现新的解码器！</translation>
    </message>
    <message>
        <location line="+51"/>
        <source>Please select the activated decoder!</source>
        <translation>请选择已激活的解码器！</translation>
    </message>
    <message>
        <location line="+17"/>
        <location line="+234"/>
        <location line="+14"/>
        <location line="+118"/>
        <source>Decoder connecting...</source>
        <translation>正在连接解码器...</translation>
    </message>
    <message>
        <location line="-342"/>
        <source>Are you sure to restore factory Settings?</source>
        <translation>确定要恢复出厂设置吗？</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Resuming factory Settings...</source>
        <translation>正在恢复出厂设置...</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Delete the decoder will automatically delete the associated TV wall, sure to delete?</source>
        <translation>删除解码器将同时删除与其关联的电视墙，确定删除吗？</translation>
    </message>
    <message>
        <location line="+47"/>
        <source>Decoding card network information acquisition failed, please search again!</source>
        <translation>获取解码卡网络信息失败，请重新搜索！</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>The address already exists, please modify it again!</source>
        <translation>该地址已存在，请重新修改！</translation>
    </message>
    <message>
        <location line="+43"/>
        <source>Please select the unactivated decoder!</source>
        <translation>请选择未激活的解码器！</translation>
    </message>
    <message>
        <location line="+53"/>
        <location line="+21"/>
        <source>Please select decoders!</source>
        <translation>请选择解码器！</translation>
    </message>
    <message>
        <location line="+60"/>
        <source>%1 connect failed</source>
        <translation>%1 连接失败</translation>
    </message>
    <message>
        <location line="+10"/>
        <location line="+99"/>
        <location line="+30"/>
        <location line="+58"/>
        <source>connect failed</source>
        <translation>连接失败</translation>
    </message>
    <message>
        <location line="-170"/>
        <source>connect success</source>
        <translation>连接成功</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>Decoder(%1) connection failed:Incorrect user name or password,%2 errors have been made,%3 errors will be locked for %4 minutes!</source>
        <translation>解码器(%1)连接失败：用户名或密码错误，已错误%2次，错误%3次将锁定%4分钟！</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Decoder(%1) connection failed:Incorrect user name or password!</source>
        <translation>解码器(%1)连接失败：用户名或密码错误！</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Decoder(%1) has been locked,it will unlock after %2 seconds.</source>
        <translation>解码器(%1)已被锁定，将在%2秒后解锁。</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Decoder(%1) connection failed:Device not active!</source>
        <translation>解码器(%1)连接失败：设备未激活！</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Decoder(%1) connection failed:unknow error!</source>
        <translation>解码器(%1)连接失败：未知错误！</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>%1 connection is broken</source>
        <translation>%1 连接已断开</translation>
    </message>
    <message>
        <location line="+45"/>
        <source>Password change failed!</source>
        <translation>密码修改失败！</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Decoder %1 Password modification successful, please reconnect login!</source>
        <translation>解码器 %1 密码修改成功，请重新连接登录！</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Decoder(%1) IP setting failed:Incorrect user name or password!</source>
        <translation>解码器(%1)IP设置失败：用户名或密码错误！</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Decoder(%1) IP setting failed!</source>
        <translation>解码器(%1)IP设置失败！</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>Failed to restore factory Settings with decoder card!</source>
        <translation>解码卡恢复出厂设置失败！</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Factory Settings of the decoder card have been restored successfully. Please search again!</source>
        <translation>解码卡已成功恢复出厂设置，请重新搜索！</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>Decoder(%1) activation failed!</source>
        <translation>解码器(%1)激活失败！</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::DecoderNetworkConfigDlg</name>
    <message>
        <location filename="../matrix_config/decoders/decodernetworkconfigdlg.ui" line="+8"/>
        <location line="+19"/>
        <location filename="../matrix_config/decoders/decodernetworkconfigdlg.cpp" line="+73"/>
        <source>Networkconfig</source>
        <translation>网络配置</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>IPv4(required)</source>
        <translation>IPv4（必填）</translation>
    </message>
    <message>
        <location line="+15"/>
        <location line="+86"/>
        <source>IP Address</source>
        <translation>IP地址</translation>
    </message>
    <message>
        <location line="-74"/>
        <source>Netmask</source>
        <translation>子网掩码</translation>
    </message>
    <message>
        <location line="+12"/>
        <location line="+86"/>
        <source>Gateway</source>
        <translation>网关</translation>
    </message>
    <message>
        <location line="-74"/>
        <source>DNS</source>
        <translation>DNS</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>IPv6(optional)</source>
        <translation>IPv6（选填）</translation>
    </message>
    <message>
        <location line="+44"/>
        <source>Subnet prefix length</source>
        <translation>子网前缀长度</translation>
    </message>
    <message>
        <location line="+49"/>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../matrix_config/decoders/decodernetworkconfigdlg.cpp" line="+107"/>
        <source>The IPv6 address is too long: at most %1 characters are allowed.</source>
        <translation>IPv6地址过长：最多允许%1个字符。</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The IPv6 gateway is too long: at most %1 characters are allowed.</source>
        <translation>IPv6网关过长：最多允许%1个字符。</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::DecoderOprWt</name>
    <message>
        <location filename="../matrix_config/decoders/decoderoprwt.ui" line="+8"/>
        <source>PersonInfoWt</source>
        <translation>PersonInfoWt</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>change password</source>
        <translation>修改密码</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>device config</source>
        <translation>设备配置</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>change ip</source>
        <translation>修改IP</translation>
    </message>
    <message>
        <location filename="../matrix_config/decoders/decoderoprwt.cpp" line="+38"/>
        <source>Change Ip</source>
        <translation>修改IP</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Active</source>
        <translation>激活</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::DecoderWatchView</name>
    <message>
        <location filename="../matrix_config/decoders/decoderwatchview.cpp" line="+63"/>
        <source>Being checked after the %1: %2</source>
        <translation>%1后正在检查：%2</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Decoder %1, %2: %3</source>
        <translation>解码器 %1，%2：%3</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::DevActiveDlg</name>
    <message>
        <location filename="../matrix_config/decoders/devactivedlg.ui" line="+8"/>
        <location line="+19"/>
        <location filename="../matrix_config/decoders/devactivedlg.cpp" line="+56"/>
        <location line="+1"/>
        <source>Device Active</source>
        <translation>设备激活</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>User</source>
        <translation>用户名</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>admin</source>
        <translation>admin</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Old Password</source>
        <translation>旧密码</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>PassWord</source>
        <translation>密码</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>8 to 16 characters</source>
        <translation>8到16个字符</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Contains at least two characters: numbers, letters (case sensitive), and special symbols</source>
        <translation>至少包含数字、字母（区分大小写）、特殊符号中的两种</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Cannot be the same or opposite as the user name</source>
        <translation>不能与用户名相同或为用户名倒序</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>Confirm Password</source>
        <translation>确认密码</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Please be consistent with the new password</source>
        <translation>请与新密码保持一致</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../matrix_config/decoders/devactivedlg.cpp" line="-6"/>
        <location line="+1"/>
        <source>Change Password</source>
        <translation>修改密码</translation>
    </message>
    <message>
        <location line="+48"/>
        <location line="+5"/>
        <source>Illegal password!</source>
        <translation>密码不符合要求！</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The two passwords are not the same!</source>
        <translation>两次输入的密码不一致！</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::ExportConfigDlg</name>
    <message>
        <location filename="../matrix_config/maintenance/exportconfigdlg.ui" line="+8"/>
        <location line="+19"/>
        <location filename="../matrix_config/maintenance/exportconfigdlg.cpp" line="+19"/>
        <source>Configuration Export</source>
        <translation>配置导出</translation>
    </message>
    <message>
        <location line="+53"/>
        <source>confirm</source>
        <translation>确定</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../matrix_config/maintenance/exportconfigdlg.cpp" line="+0"/>
        <source>Configuration Import</source>
        <translation>配置导入</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Please select the file import path!</source>
        <translation>请选择要导入的配置文件！</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Please select the file export path!</source>
        <translation>请选择配置文件的导出路径！</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>Select the file</source>
        <translation>选择文件</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::GetLogsDlg</name>
    <message>
        <location filename="../matrix_config/maintenance/getlogsdlg.ui" line="+8"/>
        <location line="+19"/>
        <location filename="../matrix_config/maintenance/getlogsdlg.cpp" line="+61"/>
        <source>show log</source>
        <translation>查看日志</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>log type</source>
        <translation>日志类型</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>time quantum</source>
        <translation>时间段</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Last month</source>
        <translation>最近一个月</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>query</source>
        <translation>查询</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>export</source>
        <translation>导出</translation>
    </message>
    <message>
        <location line="+43"/>
        <source>quit</source>
        <translation>退出</translation>
    </message>
    <message>
        <location filename="../matrix_config/maintenance/getlogsdlg.cpp" line="+6"/>
        <source>Operation log</source>
        <translation>运维日志</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>system log</source>
        <translation>系统日志</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>warning log</source>
        <translation>告警日志</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>operation log</source>
        <translation>操作日志</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Operational log</source>
        <translation>运行日志</translation>
    </message>
    <message>
        <location line="+94"/>
        <source>Operations log only supports export, not viewing!</source>
        <translation>运行日志仅支持导出，不支持查看！</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Querying...</source>
        <translation>正在查询...</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>Decoder system log retrieval failed!</source>
        <translation>获取解码器系统日志失败！</translation>
    </message>
    <message>
        <location line="+75"/>
        <source>%1.tgz</source>
        <translation>%1.tgz</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>%1.txt</source>
        <translation>%1.txt</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>save file</source>
        <translation>保存文件</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::MatrixConfigForm</name>
    <message>
        <location filename="../matrix_config/workspace/matrixconfigform.ui" line="+14"/>
        <location line="+159"/>
        <source>TV Wall Management</source>
        <translation>电视墙管理</translation>
    </message>
    <message>
        <location line="-78"/>
        <source>Decoder Management</source>
        <translation>解码器管理</translation>
    </message>
    <message>
        <location line="+249"/>
        <source>window info:</source>
        <translation>窗口信息：</translation>
    </message>
    <message>
        <location filename="../matrix_config/workspace/matrixconfigform.cpp" line="+260"/>
        <source>No TV wall yet.

Start under &quot;Decoder Management&quot; above: search for the decoders and add them. Then add a TV wall with the + button of &quot;TV Wall Management&quot;.</source>
        <translation>还没有电视墙。

请先在上方的“解码器管理”中搜索并添加解码器，然后点击“电视墙管理”的 + 按钮添加电视墙。</translation>
    </message>
    <message>
        <location line="+330"/>
        <source>Please add the decoder first!</source>
        <translation>请先添加解码器！</translation>
    </message>
    <message>
        <location line="+23"/>
        <location line="+35"/>
        <source>Please select a TV wall first!</source>
        <translation>请先选择电视墙！</translation>
    </message>
    <message>
        <location line="-31"/>
        <source>Please connect the TV wall first!</source>
        <translation>请先连接电视墙！</translation>
    </message>
    <message>
        <location line="+195"/>
        <source>The current TV wall configuration is not saved, whether to save the TV wall configuration?</source>
        <translation>当前电视墙配置尚未保存，是否保存电视墙配置？</translation>
    </message>
    <message>
        <location line="+84"/>
        <source>TvWall connecting...</source>
        <translation>正在连接电视墙...</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>Tvwall(%1):Connect success!</source>
        <translation>电视墙(%1)：连接成功！</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Tvwall(%1):Connect failed:The associated decoder connection failed</source>
        <translation>电视墙(%1)：连接失败，关联的解码器连接失败</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>TV wall %1: %2 screen bindings lie outside its %3 x %4 grid</source>
        <translation>电视墙 %1：有%2个屏幕绑定超出了%3×%4的布局范围</translation>
    </message>
    <message>
        <location line="+30"/>
        <location line="+17"/>
        <source>this output has been used</source>
        <translation>该输出已被使用</translation>
    </message>
    <message>
        <location line="-7"/>
        <source>RS Decoder : </source>
        <translation>RS解码器：</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>RT Decoder : </source>
        <translation>RT解码器：</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>: output</source>
        <translation>，输出</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::MatrixInfoSyncDlg</name>
    <message>
        <location filename="../matrix_config/editing/matrixinfosyncdlg.ui" line="+8"/>
        <location line="+22"/>
        <location filename="../matrix_config/editing/matrixinfosyncdlg.cpp" line="+18"/>
        <source>Matrix Info Sync</source>
        <translation>电视墙信息同步</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>Whether to synchronize the device&apos;s existing TV wall information</source>
        <translation>是否同步设备上已有的电视墙信息</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>yes</source>
        <translation>是</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>no</source>
        <translation>否</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Please select the device that needs to synchronize the TV-Wall information</source>
        <translation>请选择需要同步电视墙信息的设备</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>chexk all</source>
        <translation>全选</translation>
    </message>
    <message>
        <location line="+32"/>
        <source>ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::PasswordStrengthWt</name>
    <message>
        <location filename="../matrix_config/decoders/passwordstrengthwt.ui" line="+17"/>
        <source>password strength</source>
        <translation>密码强度</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>terrible</source>
        <translation>风险</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>simple</source>
        <translation>弱</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>midum</source>
        <translation>中</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>strong</source>
        <translation>强</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::ResolutionSettingDlg</name>
    <message>
        <location filename="../matrix_config/maintenance/resolutionsettingdlg.ui" line="+8"/>
        <location line="+19"/>
        <location filename="../matrix_config/maintenance/resolutionsettingdlg.cpp" line="+17"/>
        <source>resolution ratio</source>
        <translation>分辨率</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>ratio</source>
        <translation>分辨率</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::ScreenLayoutWt</name>
    <message>
        <location filename="../matrix_config/workspace/screenlayoutwt.cpp" line="+27"/>
        <source>setlayout</source>
        <translation>布局设置</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>unbind</source>
        <translation>解除绑定</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Cancel all mappings</source>
        <translation>取消全部绑定</translation>
    </message>
    <message>
        <location line="+239"/>
        <source>Are you sure cancel all mappings?</source>
        <translation>确定要取消全部绑定吗？</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::ScreenWt</name>
    <message>
        <location filename="../matrix_config/workspace/screenwt.ui" line="+25"/>
        <location filename="../matrix_config/workspace/screenwt.cpp" line="+22"/>
        <location line="+18"/>
        <location line="+54"/>
        <location line="+18"/>
        <source>unbanded</source>
        <translation>未绑定</translation>
    </message>
    <message>
        <location filename="../matrix_config/workspace/screenwt.cpp" line="-52"/>
        <location line="+44"/>
        <source>%1-%2</source>
        <translation>%1-%2</translation>
    </message>
    <message>
        <location line="-42"/>
        <source>%1-%2 :</source>
        <translation>%1-%2：</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::SetLayoutDlg</name>
    <message>
        <location filename="../matrix_config/editing/setlayoutdlg.ui" line="+8"/>
        <source>SetLayoutDlg</source>
        <translation>布局设置</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>setlayout</source>
        <translation>布局设置</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>row</source>
        <translation>行</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>colum</source>
        <translation>列</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::UpdateDecoderCardDlg</name>
    <message>
        <location filename="../matrix_config/maintenance/updatedecodercarddlg.ui" line="+8"/>
        <location line="+19"/>
        <location filename="../matrix_config/maintenance/updatedecodercarddlg.cpp" line="+25"/>
        <source>Update decoder</source>
        <translation>升级解码器</translation>
    </message>
    <message>
        <location line="+37"/>
        <source>update progress</source>
        <translation>升级进度</translation>
    </message>
    <message>
        <location line="+60"/>
        <source>ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../matrix_config/maintenance/updatedecodercarddlg.cpp" line="+1"/>
        <location line="+61"/>
        <source>Please select the decoder file</source>
        <translation>请选择解码器升级文件</translation>
    </message>
    <message>
        <location line="-36"/>
        <source>Connection fail!</source>
        <translation>连接失败！</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Wrong temporary directory!</source>
        <translation>临时目录错误！</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Connection break!</source>
        <translation>连接中断！</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Latest version!</source>
        <translation>已是最新版本！</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Download failed!</source>
        <translation>下载失败！</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Error file!</source>
        <translation>文件错误！</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Insufficient disk space!</source>
        <translation>磁盘空间不足！</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Inspection failure!</source>
        <translation>校验失败！</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Write failed!</source>
        <translation>写入失败！</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Select the directory</source>
        <translation>选择升级文件</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Upgrading in progress!</source>
        <translation>正在升级，请稍候！</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Upgrade device in progress, do not close!</source>
        <translation>设备正在升级，请勿关闭！</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>It is the latest version!</source>
        <translation>已是最新版本！</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Block %1 decoding card update failed,%2</source>
        <translation>第%1块解码卡升级失败，%2</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Update decoder completed!</source>
        <translation>解码器升级完成！</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Error in selected upgrade file,Upgrade failed!</source>
        <translation>所选升级文件有误，升级失败！</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Upgrade failed!</source>
        <translation>升级失败！</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::UpgradeExclusion</name>
    <message>
        <location filename="../matrix_config/maintenance/upgradeexclusion.cpp" line="+34"/>
        <source>Firmware is being upgraded in another window: close it first.</source>
        <translation>另一个窗口正在升级固件：请先将其关闭。</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::WallDifferenceDlg</name>
    <message>
        <location filename="../matrix_config/editing/walldifferencedlg.ui" line="+7"/>
        <location line="+19"/>
        <location filename="../matrix_config/editing/walldifferencedlg.cpp" line="+41"/>
        <source>TV wall changed on the decoder</source>
        <translation>解码器上的电视墙已更改</translation>
    </message>
    <message>
        <location line="+69"/>
        <source>Overwrite</source>
        <translation>覆盖</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Take the decoder&apos;s</source>
        <translation>采用解码器版本</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../matrix_config/editing/walldifferencedlg.cpp" line="+18"/>
        <source>The main decoder %1 holds the TV wall &quot;%2&quot;, which this desk has not seen. Nothing has been sent yet.</source>
        <translation>主解码器 %1 上保存着本工作台未见过的电视墙“%2”。尚未发送任何内容。</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The main decoder %1 no longer holds the TV wall &quot;%2&quot; that this desk last saw there. Nothing has been sent yet.</source>
        <translation>主解码器 %1 上已不再保存本工作台上次所见的电视墙“%2”。尚未发送任何内容。</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Since this desk last saw it, the TV wall on the main decoder %1 was changed elsewhere. Nothing has been sent yet.</source>
        <translation>自本工作台上次查看以来，主解码器 %1 上的电视墙已在别处被更改。尚未发送任何内容。</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Name: &quot;%1&quot; became &quot;%2&quot;.</source>
        <translation>名称：“%1”已改为“%2”。</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Screens: %1 x %2 became %3 x %4.</source>
        <translation>屏幕：%1 × %2 已改为 %3 × %4。</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Unchanged screens: %1</source>
        <translation>未改变的屏幕：%1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Send this desk&apos;s TV wall to the decoder?</source>
        <translation>是否将本工作台的电视墙发送到解码器？</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The decoder holds no TV wall to take.</source>
        <translation>解码器上没有可采用的电视墙。</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Overwrite the decoder&apos;s TV wall with this desk&apos;s, or take the decoder&apos;s version and send nothing?</source>
        <translation>用本工作台的电视墙覆盖解码器上的电视墙，还是采用解码器上的版本且不发送任何内容？</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>bound</source>
        <translation>已绑定</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>unbound</source>
        <translation>已解绑</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>moved</source>
        <translation>已移动</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>unchanged</source>
        <translation>未改变</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Screen</source>
        <translation>屏幕</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Change</source>
        <translation>更改</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Output</source>
        <translation>输出</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>%1, from screen %2</source>
        <translation>%1，来自屏幕 %2</translation>
    </message>
</context>
<context>
    <name>pral_matrixConfig::WatchReportDlg</name>
    <message>
        <location filename="../matrix_config/decoders/watchreportdlg.ui" line="+7"/>
        <location line="+19"/>
        <location filename="../matrix_config/decoders/watchreportdlg.cpp" line="+40"/>
        <source>Checked changes</source>
        <translation>修改检查结果</translation>
    </message>
    <message>
        <location line="+54"/>
        <source>ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <location filename="../matrix_config/decoders/watchreportdlg.cpp" line="+13"/>
        <source>Decoder</source>
        <translation>解码器</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Change</source>
        <translation>修改</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Outcome</source>
        <translation>结果</translation>
    </message>
    <message>
        <location line="+63"/>
        <source>checking: %1</source>
        <translation>检查中：%1</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>%1 decoder(s) checked: %2 as intended, %3 not, %4 still being watched.</source>
        <translation>已检查 %1 台解码器：%2 台符合预期，%3 台不符合，%4 台仍在检查中。</translation>
    </message>
</context>
</TS>
