<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AllanDeviation</name>
    <message>
        <source>τ (秒)</source>
        <translation>τ (s)</translation>
    </message>
    <message>
        <source>阿伦偏差</source>
        <translation>Allan deviation</translation>
    </message>
</context>
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
    <message>
        <source>正在重新连接</source>
        <translation>reconnecting</translation>
    </message>
    <message>
        <source>下载正在进行</source>
        <translation>a download is running</translation>
    </message>
    <message>
        <source>测试正在进行</source>
        <translation>a test run is running</translation>
    </message>
</context>
<context>
    <name>LogFileWriter</name>
    <message>
        <source>文件在 %1 秒内没有打开</source>
        <translation>The file did not open within %1 s</translation>
    </message>
    <message>
        <source>文件已存在，其列与本日志不同</source>
        <translation>The file exists and its columns differ from this log&apos;s</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>Not a regular file</translation>
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
    <message>
        <source>文件已存在</source>
        <translation>File exists</translation>
    </message>
    <message>
        <source>替换</source>
        <translation>Replace</translation>
    </message>
    <message>
        <source>追加</source>
        <translation>Append</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>%1 是正在记录的日志。
在其末尾接着记录吗？</source>
        <translation>%1 is the running log.
Continue logging at its end?</translation>
    </message>
    <message>
        <source>%1 是正在记录的日志，其列与所选格式不同，不能替换它。
请选择另一个文件。</source>
        <translation>%1 is the running log; its columns differ from the chosen layout and it cannot be replaced.
Please choose another file.</translation>
    </message>
    <message>
        <source>%1 已存在。
替换它，还是在其末尾追加？</source>
        <translation>%1 already exists.
Replace it, or append to its end?</translation>
    </message>
    <message>
        <source>%1 已存在，其列与本日志不同。
替换它吗？</source>
        <translation>%1 already exists and its columns differ from this log&apos;s.
Replace it?</translation>
    </message>
</context>
<context>
    <name>LotSummary</name>
    <message>
        <source>无法写入汇总 %1：它和旁边的 %2 个文件都属于别的测试计划</source>
        <translation>Cannot write the summary %1: it and the %2 files beside it belong to other test plans</translation>
    </message>
    <message>
        <source>无法读取汇总 %1</source>
        <translation>Cannot read the summary %1</translation>
    </message>
    <message>
        <source>无法写入汇总 %1：%2</source>
        <translation>Cannot write the summary %1: %2</translation>
    </message>
</context>
<context>
    <name>MainPlotView</name>
    <message>
        <source>秒</source>
        <translation>s</translation>
    </message>
    <message>
        <source>点数</source>
        <translation>Points</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
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
        <source>已停止采集以回放文件</source>
        <translation>Acquisition stopped to play back the file</translation>
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
    <message>
        <source>曲线无法再存新的点，已有的点保留：%1</source>
        <translation>The curve cannot store new points; the points it holds are kept: %1</translation>
    </message>
    <message>
        <source>已满</source>
        <translation>it is full</translation>
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
    <message>
        <source>这是正在记录的日志，不能替换它</source>
        <translation>This is the running log; it cannot be replaced</translation>
    </message>
    <message>
        <source>日志写入超时，已停止 %1（已写入 %2 行）</source>
        <translation>Log write timed out, stopped %1 (%2 lines written)</translation>
    </message>
</context>
<context>
    <name>RunReport</name>
    <message>
        <source>无法写入报告 %1：%2</source>
        <translation>Cannot write the report %1: %2</translation>
    </message>
    <message>
        <source>生成报告需要 QGuiApplication 来绘制文字（offscreen 平台即可）</source>
        <translation>A report needs a QGuiApplication to draw its text (the offscreen platform will do)</translation>
    </message>
    <message>
        <source>无法从 %1 判断报告格式：文件名请以 .html 或 .pdf 结尾</source>
        <translation>Cannot tell the report format from %1: end the name in .html or .pdf</translation>
    </message>
</context>
<context>
    <name>ResultsDatabase</name>
    <message>
        <source>Qt 的 SQLite 驱动未安装（软件包 libqt5sql5-sqlite）</source>
        <translation>Qt's SQLite driver is not installed (package libqt5sql5-sqlite)</translation>
    </message>
    <message>
        <source>Qt 的 PostgreSQL 驱动未安装（软件包 libqt5sql5-psql）</source>
        <translation>Qt's PostgreSQL driver is not installed (package libqt5sql5-psql)</translation>
    </message>
    <message>
        <source>文件不存在</source>
        <translation>the file does not exist</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>无法打开</source>
        <translation>cannot open</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>结果数据库 %1：%2</source>
        <translation>Results database %1: %2</translation>
    </message>
    <message>
        <source>无法开始写入</source>
        <translation>cannot begin writing</translation>
    </message>
    <message>
        <source>无法完成写入</source>
        <translation>cannot complete writing</translation>
    </message>
</context>
<context>
    <name>ResultsLocation</name>
    <message>
        <source>结果数据库地址 %1 缺少文件路径</source>
        <translation>Results database address %1 has no file path</translation>
    </message>
    <message>
        <source>结果数据库地址的类型 %1 不受支持：请使用 postgresql:// 或文件路径</source>
        <translation>Results database address type %1 is not supported: use postgresql:// or a file path</translation>
    </message>
    <message>
        <source>结果数据库地址不能含有 #</source>
        <translation>A results database address cannot contain #</translation>
    </message>
    <message>
        <source>结果数据库地址中的数据库名 %1 无效</source>
        <translation>Invalid database name %1 in the results database address</translation>
    </message>
    <message>
        <source>结果数据库地址缺少数据库名：postgresql://用户@主机:端口/数据库名</source>
        <translation>The results database address has no database name: postgresql://user@host:port/dbname</translation>
    </message>
    <message>
        <source>结果数据库地址中的用户名或密码无效</source>
        <translation>Invalid user name or password in the results database address</translation>
    </message>
    <message>
        <source>结果数据库地址中的主机 %1 无效</source>
        <translation>Invalid host %1 in the results database address</translation>
    </message>
    <message>
        <source>结果数据库地址中的端口 %1 无效（1-65535）</source>
        <translation>Invalid port %1 in the results database address (1-65535)</translation>
    </message>
    <message>
        <source>结果数据库地址中的参数 %1 缺少值</source>
        <translation>Parameter %1 in the results database address has no value</translation>
    </message>
    <message>
        <source>结果数据库地址中的参数 %1 出现了两次</source>
        <translation>Parameter %1 appears twice in the results database address</translation>
    </message>
    <message>
        <source>结果数据库地址中的主机给了两次</source>
        <translation>The results database address gives the host twice</translation>
    </message>
    <message>
        <source>结果数据库地址中的端口给了两次</source>
        <translation>The results database address gives the port twice</translation>
    </message>
    <message>
        <source>结果数据库地址中的 sslmode=%1 无效：应为 %2</source>
        <translation>Invalid sslmode=%1 in the results database address: expected %2</translation>
    </message>
    <message>
        <source>结果数据库地址中的 connect_timeout=%1 无效：应为不小于 2 的秒数</source>
        <translation>Invalid connect_timeout=%1 in the results database address: expected seconds, 2 or more</translation>
    </message>
    <message>
        <source>结果数据库地址中的参数 %1 未知：可用 host、port、sslmode、connect_timeout</source>
        <translation>Unknown parameter %1 in the results database address: use host, port, sslmode, connect_timeout</translation>
    </message>
</context>
<context>
    <name>ResultsReader</name>
    <message>
        <source>单元编号 %1 应为 24 位十六进制数字（三个 8 位的字，保留前导零）</source>
        <translation>Unit id %1 must be 24 hexadecimal digits (three words of 8 digits, leading zeros kept)</translation>
    </message>
    <message>
        <source>显示的测试数 %1 不能为负</source>
        <translation>The number of runs to show, %1, cannot be negative</translation>
    </message>
    <message>
        <source>无法读取测试</source>
        <translation>cannot read the runs</translation>
    </message>
    <message>
        <source>结果数据库 %1：%2</source>
        <translation>Results database %1: %2</translation>
    </message>
    <message>
        <source>结果数据库 %1 中没有第 %2 次测试</source>
        <translation>Results database %1 has no run %2</translation>
    </message>
    <message>
        <source>无法读取步骤</source>
        <translation>cannot read the steps</translation>
    </message>
</context>
<context>
    <name>ResultsSchema</name>
    <message>
        <source>有 runs 或 steps 表，却没有 schema_version 表：不是本程序的结果数据库</source>
        <translation>it has a runs or steps table but no schema_version table: not a results database of this program</translation>
    </message>
    <message>
        <source>缺少表 %1：数据库已损坏</source>
        <translation>table %1 is missing: the database is damaged</translation>
    </message>
    <message>
        <source>无法读取</source>
        <translation>cannot read</translation>
    </message>
    <message>
        <source>无法读取结构版本</source>
        <translation>cannot read the schema version</translation>
    </message>
    <message>
        <source>schema_version 表应恰有一行，却有 %1 行：数据库已损坏</source>
        <translation>the schema_version table should hold exactly one row but holds %1: the database is damaged</translation>
    </message>
    <message>
        <source>schema_version 表中的版本 %1 无效：数据库已损坏</source>
        <translation>invalid version %1 in the schema_version table: the database is damaged</translation>
    </message>
    <message>
        <source>结构版本为 %1，而本程序只认识到第 %2 版：请使用更新的程序；本程序不会写入它</source>
        <translation>its schema version is %1, but this program knows versions up to %2 only: use a newer program; this one will not write into it</translation>
    </message>
</context>
<context>
    <name>ResultsWriter</name>
    <message>
        <source>第 %1 次测试没有结束时间</source>
        <translation>run %1 has no end time</translation>
    </message>
    <message>
        <source>无法记录第 %1 次测试的结束</source>
        <translation>cannot record the end of run %1</translation>
    </message>
    <message>
        <source>第 %1 次测试不在数据库中</source>
        <translation>run %1 is not in the database</translation>
    </message>
    <message>
        <source>无法记录测试</source>
        <translation>cannot record the run</translation>
    </message>
    <message>
        <source>数据库没有给出测试的编号</source>
        <translation>the database gave no id for the run</translation>
    </message>
    <message>
        <source>无法记录第 %1 步</source>
        <translation>cannot record step %1</translation>
    </message>
</context>
<context>
    <name>RowReader</name>
    <message>
        <source>为空</source>
        <translation>empty</translation>
    </message>
    <message>
        <source>%1 不是整数</source>
        <translation>%1 is not an integer</translation>
    </message>
    <message>
        <source>%1 超出范围 %2 至 %3</source>
        <translation>%1 is outside %2 to %3</translation>
    </message>
    <message>
        <source>%1 不是 UTC 时间</source>
        <translation>%1 is not a UTC time</translation>
    </message>
    <message>
        <source>%1 不是已知的判定</source>
        <translation>%1 is not a known verdict</translation>
    </message>
    <message>
        <source>%1 不是已知的结果</source>
        <translation>%1 is not a known outcome</translation>
    </message>
    <message>
        <source>%1，%2 列：%3</source>
        <translation>%1, column %2: %3</translation>
    </message>
    <message>
        <source>%1 不是数</source>
        <translation>%1 is not a number</translation>
    </message>
    <message>
        <source>第 %1 次测试</source>
        <translation>run %1</translation>
    </message>
    <message>
        <source>%1 不是 24 位小写十六进制数字</source>
        <translation>%1 is not 24 lower-case hexadecimal digits</translation>
    </message>
    <message>
        <source>第 %1 次测试的第 %2 步</source>
        <translation>run %1, step %2</translation>
    </message>
    <message>
        <source>单元编号 %1 不是 24 位小写十六进制数字</source>
        <translation>unit id %1 is not 24 lower-case hexadecimal digits</translation>
    </message>
    <message>
        <source>测试没有开始时间</source>
        <translation>the run has no start time</translation>
    </message>
    <message>
        <source>步骤序号 %1 为负</source>
        <translation>step index %1 is negative</translation>
    </message>
    <message>
        <source>第 %1 步的帧数为负</source>
        <translation>step %1 has a negative frame count</translation>
    </message>
</context>
<context>
    <name>RunRecorder</name>
    <message>
        <source>测试尚未结束：没有结束时间</source>
        <translation>The run has not ended: it has no end time</translation>
    </message>
    <message>
        <source>%1；本地文件也无法写入：%2</source>
        <translation>%1; the local file cannot be written either: %2</translation>
    </message>
    <message>
        <source>%1；本次测试（连同已完成的步骤）已全部改存本地文件 %2</source>
        <translation>%1; the whole run, steps done so far included, is now stored in the local file %2</translation>
    </message>
    <message>
        <source>%1；本次测试保存在本地文件 %2</source>
        <translation>%1; this run is stored in the local file %2</translation>
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
    <message>
        <source>自第一帧起的时间 (秒)</source>
        <translation>Time since the first frame (s)</translation>
    </message>
    <message>
        <source>区间 A–B</source>
        <translation>Span A–B</translation>
    </message>
    <message>
        <source>置信度 ≥</source>
        <translation>Confidence ≥</translation>
    </message>
    <message>
        <source>峰值 ≥</source>
        <translation>Peak ≥</translation>
    </message>
    <message>
        <source>概览</source>
        <translation>Overview</translation>
    </message>
    <message>
        <source>预热漂移</source>
        <translation>Warm-up drift</translation>
    </message>
    <message>
        <source>阿伦偏差</source>
        <translation>Allan deviation</translation>
    </message>
    <message>
        <source>信号质量</source>
        <translation>Signal quality</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>s</translation>
    </message>
    <message>
        <source>跟随数据</source>
        <translation>Follow the data</translation>
    </message>
    <message>
        <source>请放置光标 A 和 B</source>
        <translation>Place cursors A and B</translation>
    </message>
    <message>
        <source>在时间曲线上按 Ctrl+单击，或用它的右键菜单</source>
        <translation>Ctrl+click on the time plot, or use its right-click menu</translation>
    </message>
    <message>
        <source>保留 %1 / %2 帧</source>
        <translation>%1 of %2 frames kept</translation>
    </message>
    <message>
        <source>光标 A (秒)</source>
        <translation>Cursor A (s)</translation>
    </message>
    <message>
        <source>光标 B (秒)</source>
        <translation>Cursor B (s)</translation>
    </message>
</context>
<context>
    <name>StepCommand</name>
    <message>
        <source>命令被信号终止</source>
        <translation>The command was ended by a signal</translation>
    </message>
    <message>
        <source>命令以退出码 %1 结束</source>
        <translation>The command exited with code %1</translation>
    </message>
    <message>
        <source>命令无法启动：%1</source>
        <translation>The command could not be started: %1</translation>
    </message>
    <message>
        <source>命令在 %1 s 内未结束，已终止</source>
        <translation>The command did not end within %1 s and was killed</translation>
    </message>
    <message>
        <source>（最后输出：%1）</source>
        <translation> (last output: %1)</translation>
    </message>
</context>
<context>
    <name>TestPlanTexts</name>
    <message>
        <source>不是普通文件</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>文件过大 (%1 字节, 上限 %2 字节)</source>
        <translation>file too large (%1 bytes, at most %2 bytes)</translation>
    </message>
    <message>
        <source>测试计划</source>
        <translation>Test plan</translation>
    </message>
    <message>
        <source>第 %1 步</source>
        <translation>Step %1</translation>
    </message>
    <message>
        <source>数字</source>
        <translation>a number</translation>
    </message>
    <message>
        <source>整数</source>
        <translation>a whole number</translation>
    </message>
    <message>
        <source>文本</source>
        <translation>a text</translation>
    </message>
    <message>
        <source>对象</source>
        <translation>an object</translation>
    </message>
    <message>
        <source>列表</source>
        <translation>a list</translation>
    </message>
    <message>
        <source>“first”或“mean”</source>
        <translation>&quot;first&quot; or &quot;mean&quot;</translation>
    </message>
    <message>
        <source>%1：“%2”须大于 %3</source>
        <translation>%1: &quot;%2&quot; must be greater than %3</translation>
    </message>
    <message>
        <source>%1：“%2”不得为负数</source>
        <translation>%1: &quot;%2&quot; must not be negative</translation>
    </message>
    <message>
        <source>%1：“%2”不得小于 %3</source>
        <translation>%1: &quot;%2&quot; must not be less than %3</translation>
    </message>
    <message>
        <source>%1：“%2”须大于 %3 且不大于 %4</source>
        <translation>%1: &quot;%2&quot; must be greater than %3 and at most %4</translation>
    </message>
    <message>
        <source>%1：“%2”须在 %3 到 %4 之间</source>
        <translation>%1: &quot;%2&quot; must be from %3 to %4</translation>
    </message>
    <message>
        <source>测试计划不是有效的 JSON：%1（第 %2 个字节）</source>
        <translation>The test plan is not valid JSON: %1 (at byte %2)</translation>
    </message>
    <message>
        <source>%1：未知的键“%2”（请检查拼写）</source>
        <translation>%1: unknown key &quot;%2&quot; (check its spelling)</translation>
    </message>
    <message>
        <source>%1：键“%2”出现了两次</source>
        <translation>%1: key &quot;%2&quot; is given twice</translation>
    </message>
    <message>
        <source>%1：应为%2</source>
        <translation>%1 must be %2</translation>
    </message>
    <message>
        <source>%1：“%2”应为%3</source>
        <translation>%1: &quot;%2&quot; must be %3</translation>
    </message>
    <message>
        <source>%1：缺少“%2”</source>
        <translation>%1: &quot;%2&quot; is missing</translation>
    </message>
    <message>
        <source>%1：没有步骤（“steps”为空）</source>
        <translation>%1: no steps (&quot;steps&quot; is empty)</translation>
    </message>
    <message>
        <source>%1：未设任何限值（“%2”），此步无法判定</source>
        <translation>%1: no limit is set (&quot;%2&quot;), so the step would judge nothing</translation>
    </message>
    <message>
        <source>%1：“%2”需要此步至少 2 帧</source>
        <translation>%1: &quot;%2&quot; needs at least 2 frames in the step</translation>
    </message>
    <message>
        <source>无法读取测试计划 %1：%2</source>
        <translation>Cannot read the test plan %1: %2</translation>
    </message>
    <message>
        <source>无法保存测试计划 %1：%2</source>
        <translation>Cannot save the test plan %1: %2</translation>
    </message>
</context>
<context>
    <name>TestRunner</name>
    <message>
        <source>开始命令 (0x02) 后 %1 ms 内没有测量帧</source>
        <translation>No measurement frame within %1 ms of the start command (0x02)</translation>
    </message>
    <message>
        <source>将目标置于 %1 mm 处，然后按 继续</source>
        <translation>Place the target at %1 mm, then press Continue</translation>
    </message>
    <message>
        <source>已有测试在运行</source>
        <translation>A test run is already going on</translation>
    </message>
    <message>
        <source>测试无法开始：%1</source>
        <translation>The test run cannot start: %1</translation>
    </message>
    <message>
        <source>操作员中止</source>
        <translation>Aborted by the operator</translation>
    </message>
    <message>
        <source>超过 %1 ms 没有收到测量帧</source>
        <translation>No measurement frame for more than %1 ms</translation>
    </message>
    <message>
        <source>采集被另一条停止命令中断</source>
        <translation>Acquisition was stopped by another stop command</translation>
    </message>
    <message>
        <source>连接已断开（串口已关闭）</source>
        <translation>The link was lost (the serial port closed)</translation>
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
    <message>
        <source>正在取消: 等待设备应答开始命令</source>
        <translation>Cancelling: waiting for the answer to the start</translation>
    </message>
</context>
<context>
    <name>UnitIdentifier</name>
    <message>
        <source>停止命令 (0x0F)</source>
        <translation>Stop command (0x0F)</translation>
    </message>
    <message>
        <source>设备信息请求 (0x14)</source>
        <translation>Device information request (0x14)</translation>
    </message>
    <message>
        <source>校准参数请求 (0x12)</source>
        <translation>Calibration parameter request (0x12)</translation>
    </message>
    <message>
        <source>无法识别设备：链路未被占用，请求不能发送</source>
        <translation>Cannot identify the device: the link is not held, so no request may be sent</translation>
    </message>
    <message>
        <source>%1 未获应答：串口已关闭</source>
        <translation>%1 unanswered: the serial port closed</translation>
    </message>
    <message>
        <source>%1 在 %2 ms 内无应答（共发送 %3 次）</source>
        <translation>%1 unanswered within %2 ms (sent %3 times)</translation>
    </message>
    <message>
        <source>%1 的应答只有 %2 字节，需要 %3 字节（共发送 %4 次）</source>
        <translation>The answer to %1 has only %2 bytes, %3 needed (sent %4 times)</translation>
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
<context>
    <name>AllanPanel</name>
    <message>
        <source>τ (秒)</source>
        <translation>τ (s)</translation>
    </message>
    <message>
        <source>阿伦偏差 (mm)</source>
        <translation>Allan deviation (mm)</translation>
    </message>
    <message>
        <source>复制阿伦偏差为文本</source>
        <translation>Copy the Allan deviation as text</translation>
    </message>
    <message>
        <source>数据不足：至少需要三帧</source>
        <translation>Too little data: needs three frames at least</translation>
    </message>
    <message>
        <source>τ 从一帧间隔到运行时间的三分之一</source>
        <translation>τ from one frame interval to a third of the run</translation>
    </message>
</context>
<context>
    <name>DriftPanel</name>
    <message>
        <source>滚动区间 </source>
        <translation>Rolling interval </translation>
    </message>
    <message>
        <source> 秒</source>
        <translation> s</translation>
    </message>
    <message>
        <source>稳定带 ±</source>
        <translation>Band ±</translation>
    </message>
    <message>
        <source>滚动平均距离</source>
        <translation>Rolling mean distance</translation>
    </message>
    <message>
        <source>稳定于 %1 秒后</source>
        <translation>Settled after %1 s</translation>
    </message>
    <message>
        <source>尚未稳定：最近 %1 秒内滚动平均值仍超出最终值 ±%2 mm</source>
        <translation>Not settled: within the last %1 s the rolling mean still left ±%2 mm of its final value</translation>
    </message>
    <message>
        <source>数据不足：需要至少两个滚动区间 (%1 秒) 的有效帧</source>
        <translation>Too little data: needs kept frames over two rolling intervals (%1 s)</translation>
    </message>
</context>
<context>
    <name>PlotCursors</name>
    <message>
        <source>在此放置光标 A</source>
        <translation>Place cursor A here</translation>
    </message>
    <message>
        <source>在此放置光标 B</source>
        <translation>Place cursor B here</translation>
    </message>
    <message>
        <source>移除光标</source>
        <translation>Remove the cursors</translation>
    </message>
</context>
<context>
    <name>QualityPanel</name>
    <message>
        <source>峰值</source>
        <translation>Peak</translation>
    </message>
    <message>
        <source>噪声</source>
        <translation>Noise</translation>
    </message>
    <message>
        <source>置信度</source>
        <translation>Confidence</translation>
    </message>
    <message>
        <source>距离</source>
        <translation>Distance</translation>
    </message>
    <message>
        <source>横轴</source>
        <translation>X axis</translation>
    </message>
</context>
</TS>
