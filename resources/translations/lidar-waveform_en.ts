<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>ChineseFontCheck</name>
    <message>
        <source>没有安装含简体中文字形的字体，界面中的中文将显示为方框。请安装软件包 %1。</source>
        <translation>No installed font has Simplified Chinese glyphs: the window&apos;s Chinese texts will show as empty boxes. Install the package %1.</translation>
    </message>
</context>
<context>
    <name>ConfigDialog</name>
    <message>
        <source>参数配置</source>
        <translation>Parameter Configuration</translation>
    </message>
    <message>
        <source>峰值</source>
        <translation>Peak value</translation>
    </message>
    <message>
        <source>原始值</source>
        <translation>Original value</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Apply</translation>
    </message>
</context>
<context>
    <name>DownloadDialog</name>
    <message>
        <source>下载</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>开始下载</source>
        <translation>Start download</translation>
    </message>
    <message>
        <source>校准表文件 (*.bin)</source>
        <translation>Calibration table file (*.bin)</translation>
    </message>
    <message>
        <source>下载校准表</source>
        <translation>Download calibration table</translation>
    </message>
    <message>
        <source>open file</source>
        <translation>Open file</translation>
    </message>
    <message>
        <source>bin file(*.bin *.ifw)</source>
        <translation>bin file(*.bin *.ifw)</translation>
    </message>
    <message>
        <source>bin file(*.bin)</source>
        <translation>bin file(*.bin)</translation>
    </message>
    <message>
        <source>erorr</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>download image error</source>
        <translation>The firmware download failed</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>固件</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>校准表</source>
        <translation>Calibration table</translation>
    </message>
    <message>
        <source>download image error</source>
        <comment>calibration table</comment>
        <translation>The calibration table download failed</translation>
    </message>
</context>
<context>
    <name>LinkStatsLabel</name>
    <message>
        <source>帧 %1  %2 帧/秒  %3 字节/秒  校验错误 %4  丢弃 %5 字节  过短 %6</source>
        <translation>Frames %1  %2/s  %3 B/s  bad checksums %4  skipped %5 B  too short %6</translation>
    </message>
    <message>
        <source>自清除以来</source>
        <translation>Since Clear</translation>
    </message>
    <message>
        <source>自端口打开以来</source>
        <translation>Since the port opened</translation>
    </message>
    <message>
        <source>接收帧</source>
        <translation>Frames received</translation>
    </message>
    <message>
        <source>接收字节</source>
        <translation>Bytes received</translation>
    </message>
    <message>
        <source>校验错误</source>
        <translation>Checksum errors</translation>
    </message>
    <message>
        <source>丢弃字节</source>
        <translation>Bytes skipped</translation>
    </message>
    <message>
        <source>过短负载</source>
        <translation>Payloads too short</translation>
    </message>
    <message>
        <source>最近一秒：%1 帧/秒，%2 字节/秒</source>
        <translation>Last second: %1 frames/s, %2 bytes/s</translation>
    </message>
</context>
<context>
    <name>LinkTexts</name>
    <message>
        <source>未连接</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>已连接</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>采集中</source>
        <translation>Acquiring</translation>
    </message>
    <message>
        <source>已断开</source>
        <translation>Disconnected</translation>
    </message>
    <message>
        <source>重新连接中</source>
        <translation>Reconnecting</translation>
    </message>
    <message>
        <source>串口未设置：请在“设置 → 打开串口”中选择</source>
        <translation>Serial port not set: choose one under “Settings → Open serial port”</translation>
    </message>
    <message>
        <source>无权访问串口 %1：请运行 sudo usermod -aG %2 $USER，然后重新登录</source>
        <translation>No permission for serial port %1: run sudo usermod -aG %2 $USER, then log in again</translation>
    </message>
    <message>
        <source>串口 %1 被占用（%2）</source>
        <translation>Serial port %1 is in use (%2)</translation>
    </message>
    <message>
        <source>找不到串口 %1</source>
        <translation>Serial port %1 not found</translation>
    </message>
    <message>
        <source>无法打开串口 %1：%2</source>
        <translation>Cannot open serial port %1: %2</translation>
    </message>
    <message>
        <source>串口 %1 已断开：设备被拔出或复位</source>
        <translation>Serial port %1 disconnected: the device was unplugged or reset</translation>
    </message>
    <message>
        <source>已重新连接串口 %1</source>
        <translation>Serial port %1 reconnected</translation>
    </message>
    <message>
        <source>正在等待上一条命令</source>
        <translation>still waiting after the previous command</translation>
    </message>
    <message>
        <source>串口未打开</source>
        <translation>the serial port is not open</translation>
    </message>
    <message>
        <source>串口拒绝写入</source>
        <translation>the serial port refused the write</translation>
    </message>
    <message>
        <source>命令 0x%1 未发送：%2</source>
        <translation>Command 0x%1 not sent: %2</translation>
    </message>
    <message>
        <source>数据已停止：连接已断开，这里是最后收到的值</source>
        <translation>Data stopped: the link is down; these are the last values received</translation>
    </message>
</context>
<context>
    <name>LogStartDialog</name>
    <message>
        <source>开始记录日志</source>
        <translation>Start logging</translation>
    </message>
    <message>
        <source>浏览...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>每个点一行（带帧号）</source>
        <translation>One line per point (with the frame number)</translation>
    </message>
    <message>
        <source>保存日志</source>
        <translation>Save log</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>开始获取数据</source>
        <translation>Start acquiring data</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>切换曲线</source>
        <translation>Switch curve</translation>
    </message>
    <message>
        <source>清除显示</source>
        <translation>Clear display</translation>
    </message>
    <message>
        <source>系统信息</source>
        <translation>System info</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>保存曲线为图片</source>
        <translation>Save curve as picture</translation>
    </message>
    <message>
        <source>查看日志</source>
        <translation>View log</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>打开串口</source>
        <translation>Open serial port</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close serial port</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>保存数据</source>
        <translation>Save data</translation>
    </message>
    <message>
        <source>载入数据</source>
        <translation>Load data</translation>
    </message>
    <message>
        <source>配置参数</source>
        <translation>Configure parameters</translation>
    </message>
    <message>
        <source>工程模式</source>
        <translation>Engineering mode</translation>
    </message>
    <message>
        <source>F5</source>
        <translation>F5</translation>
    </message>
    <message>
        <source>调试模式</source>
        <translation>Debug mode</translation>
    </message>
    <message>
        <source>F6</source>
        <translation>F6</translation>
    </message>
    <message>
        <source>标定</source>
        <translation>Calibrate</translation>
    </message>
    <message>
        <source>校准</source>
        <translation>Adjust calibration</translation>
    </message>
    <message>
        <source>手动标定</source>
        <translation>Manual calibration</translation>
    </message>
    <message>
        <source>通讯测试</source>
        <translation>Communication test</translation>
    </message>
    <message>
        <source>Get cali param</source>
        <translation>Get cali param</translation>
    </message>
    <message>
        <source>PramCali</source>
        <translation>PramCali</translation>
    </message>
    <message>
        <source>保存参数</source>
        <translation>Save parameters</translation>
    </message>
    <message>
        <source>原始数据</source>
        <translation>Raw data</translation>
    </message>
    <message>
        <source>internal</source>
        <translation>internal</translation>
    </message>
    <message>
        <source>下载程序</source>
        <translation>Download firmware</translation>
    </message>
    <message>
        <source>雷达数据波形工具 V1.0.0</source>
        <translation>Lidar Data Waveform Tool V1.0.0</translation>
    </message>
    <message>
        <source>下次启动时生效</source>
        <translation>Takes effect at the next start</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>写入错误</source>
        <translation>Write error</translation>
    </message>
    <message>
        <source>无法写入文件<byte value="xd"/>
无权限</source>
        <translation>Cannot write the file<byte value="xd"/>
No permission</translation>
    </message>
    <message>
        <source>读入错误</source>
        <translation>Read error</translation>
    </message>
    <message>
        <source>无法读文件<byte value="xd"/>
无权限</source>
        <translation>Cannot read the file<byte value="xd"/>
No permission</translation>
    </message>
    <message>
        <source>统计...</source>
        <translation>Statistics...</translation>
    </message>
    <message>
        <source>开始记录日志...</source>
        <translation>Start logging...</translation>
    </message>
    <message>
        <source>停止记录日志</source>
        <translation>Stop logging</translation>
    </message>
    <message>
        <source>日志错误</source>
        <translation>Log error</translation>
    </message>
    <message>
        <source>无法创建日志文件<byte value="xd"/>
%1</source>
        <translation>Cannot create the log file<byte value="xd"/>
%1</translation>
    </message>
    <message>
        <source>原始数据监视器</source>
        <translation>Raw traffic monitor</translation>
    </message>
    <message>
        <source>save</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>open</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>about</source>
        <translation>About</translation>
    </message>
</context>
<context>
    <name>MeasurementLog</name>
    <message>
        <source>日志 %1：%2 行，%3</source>
        <translation>Log %1: %2 lines, %3</translation>
    </message>
    <message>
        <source>日志已结束 %1：%2 行，%3</source>
        <translation>Log ended %1: %2 lines, %3</translation>
    </message>
    <message>
        <source>日志写入失败，已停止 %1：%2（已保存 %3 行）</source>
        <translation>Log write failed, stopped %1: %2 (%3 lines kept)</translation>
    </message>
    <message>
        <source>日志文件已被删除，已停止 %1（已写入 %2 行）</source>
        <translation>Log file was deleted, stopped %1 (%2 lines written)</translation>
    </message>
    <message>
        <source>，丢失 %1 行</source>
        <translation>, %1 lines lost</translation>
    </message>
</context>
<context>
    <name>StatisticsWindow</name>
    <message>
        <source>统计</source>
        <translation>Statistics</translation>
    </message>
    <message>
        <source>最近 100 帧</source>
        <translation>Last 100 frames</translation>
    </message>
    <message>
        <source>最近 1000 帧</source>
        <translation>Last 1,000 frames</translation>
    </message>
    <message>
        <source>最近 10000 帧</source>
        <translation>Last 10,000 frames</translation>
    </message>
    <message>
        <source>自开始</source>
        <translation>Since Start</translation>
    </message>
    <message>
        <source>第一个点的距离</source>
        <translation>First point&apos;s distance</translation>
    </message>
    <message>
        <source>帧平均距离</source>
        <translation>Frame mean distance</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>组距 </source>
        <translation>Bin width </translation>
    </message>
    <message>
        <source>冻结</source>
        <translation>Freeze</translation>
    </message>
    <message>
        <source>复制为文本</source>
        <translation>Copy as text</translation>
    </message>
    <message>
        <source>帧数</source>
        <translation>Frames</translation>
    </message>
    <message>
        <source>平均值</source>
        <translation>Mean</translation>
    </message>
    <message>
        <source>标准差 (n−1)</source>
        <translation>Standard deviation (n−1)</translation>
    </message>
    <message>
        <source>最小值</source>
        <translation>Minimum</translation>
    </message>
    <message>
        <source>最大值</source>
        <translation>Maximum</translation>
    </message>
    <message>
        <source>峰峰值</source>
        <translation>Peak-to-peak</translation>
    </message>
    <message>
        <source>中位数</source>
        <translation>Median</translation>
    </message>
    <message>
        <source>滤除比例</source>
        <translation>Share blanked</translation>
    </message>
    <message>
        <source>接收帧率 (帧/秒)</source>
        <translation>Frames received per second</translation>
    </message>
    <message>
        <source>距离</source>
        <translation>Distance</translation>
    </message>
    <message>
        <source>自开始的时间 (秒)</source>
        <translation>Time since Start (s)</translation>
    </message>
    <message>
        <source>窗口</source>
        <translation>Window</translation>
    </message>
</context>
<context>
    <name>TrafficModel</name>
    <message>
        <source>发</source>
        <translation>out</translation>
    </message>
    <message>
        <source>收</source>
        <translation>in</translation>
    </message>
    <message>
        <source>杂散字节</source>
        <translation>stray bytes</translation>
    </message>
    <message>
        <source>正确</source>
        <translation>ok</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>bad</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>命令</source>
        <translation>Command</translation>
    </message>
    <message>
        <source>偏移</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>长度</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>校验</source>
        <translation>Checksum</translation>
    </message>
    <message>
        <source>数据</source>
        <translation>Data</translation>
    </message>
</context>
<context>
    <name>TrafficMonitor</name>
    <message>
        <source>原始数据监视器</source>
        <translation>Raw traffic monitor</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>复制为十六进制</source>
        <translation>Copy as hex</translation>
    </message>
</context>
<context>
    <name>TransferTexts</name>
    <message>
        <source>%1 字节, %2 块</source>
        <translation>%1 bytes, %2 blocks</translation>
    </message>
    <message>
        <source>文件过大: %1 字节, 上限 %2 字节</source>
        <translation>Too large: %1 bytes (limit %2 bytes)</translation>
    </message>
    <message>
        <source>下载完成: %1 字节, %2 块, %3 秒</source>
        <translation>Download complete: %1 bytes, %2 blocks, %3 s</translation>
    </message>
    <message>
        <source>已取消: 已发送 %1 / %2 块, 之后不再发送; 设备停留在下载模式, 直到重启或开始新的下载</source>
        <translation>Cancelled at block %1 of %2: nothing more is sent; the device stays in download mode until it is restarted or a new download starts</translation>
    </message>
    <message>
        <source>正在打开串口</source>
        <translation>Opening the serial port</translation>
    </message>
    <message>
        <source>等待设备应答开始命令 (%1 字节, %2 块)</source>
        <translation>Waiting for the device to acknowledge the start (%1 bytes, %2 blocks)</translation>
    </message>
    <message>
        <source>正在取消: 等待第 %1 / %2 块的应答</source>
        <translation>Cancelling: waiting for the answer to block %1 of %2</translation>
    </message>
    <message>
        <source>正在发送第 %1 / %2 块</source>
        <translation>Sending block %1 of %2</translation>
    </message>
    <message>
        <source>等待设备应答结束命令</source>
        <translation>Waiting for the device to acknowledge the end</translation>
    </message>
    <message>
        <source>下载失败: 没有选择文件</source>
        <translation>Download failed: no file chosen</translation>
    </message>
    <message>
        <source>下载失败: 无法读取文件 %1</source>
        <translation>Download failed: cannot read the file %1</translation>
    </message>
    <message>
        <source>下载失败: 文件 %1 过大 (%2 字节, 上限 %3 字节)</source>
        <translation>Download failed: the file %1 is too large (%2 bytes, the limit is %3 bytes)</translation>
    </message>
    <message>
        <source>下载失败: 串口未打开, 也无法打开</source>
        <translation>Download failed: the serial port is not open and could not be opened</translation>
    </message>
    <message>
        <source>下载失败: 串口正忙, 拒绝发送</source>
        <translation>Download failed: the serial port was busy and refused to send</translation>
    </message>
    <message>
        <source>下载失败: 传输中串口被关闭</source>
        <translation>Download failed: the serial port was closed during the transfer</translation>
    </message>
    <message>
        <source>下载失败: 设备在 %1 毫秒内没有应答开始命令</source>
        <translation>Download failed: the device did not acknowledge the start within %1 ms</translation>
    </message>
    <message>
        <source>下载失败: 设备拒绝了开始命令</source>
        <translation>Download failed: the device refused the start (result 0)</translation>
    </message>
    <message>
        <source>下载失败: 设备在 %3 毫秒内没有应答第 %1 / %2 块</source>
        <translation>Download failed: the device did not acknowledge block %1 of %2 within %3 ms</translation>
    </message>
    <message>
        <source>下载失败: 设备拒绝了第 %1 / %2 块</source>
        <translation>Download failed: the device refused block %1 of %2 (result 0)</translation>
    </message>
    <message>
        <source>下载失败: 设备在 %1 毫秒内没有应答结束命令</source>
        <translation>Download failed: the device did not acknowledge the end within %1 ms</translation>
    </message>
    <message>
        <source>下载失败: 设备拒绝了结束命令</source>
        <translation>Download failed: the device refused the end (result 0)</translation>
    </message>
</context>
<context>
    <name>comSettings</name>
    <message>
        <source>手动设置串口</source>
        <translation>Set Serial Port</translation>
    </message>
    <message>
        <source>雷达型号：</source>
        <translation>Lidar model:</translation>
    </message>
    <message>
        <source>RVK-58M</source>
        <translation>RVK-58M</translation>
    </message>
    <message>
        <source>串口：</source>
        <translation>Serial port:</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>230400</source>
        <translation>230400</translation>
    </message>
    <message>
        <source>115200</source>
        <translation>115200</translation>
    </message>
    <message>
        <source>460800</source>
        <translation>460800</translation>
    </message>
    <message>
        <source>921600</source>
        <translation>921600</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>应用</source>
        <translation>Apply</translation>
    </message>
</context>
</TS>
