<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>DeZodirorazez</name>
    <message>
        <source>用户与权限已修改，是否保存？</source>
        <translation>Users and rights were changed. Save them?</translation>
    </message>
    <message>
        <source>用户与权限</source>
        <translation>Users and rights</translation>
    </message>
    <message>
        <source>用户与权限(&amp;U)...</source>
        <translation>&amp;Users and rights...</translation>
    </message>
    <message>
        <source>用户</source>
        <translation>User</translation>
    </message>
    <message>
        <source>姓名</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>查询</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>禁用的供应商</source>
        <translation>Forbidden suppliers</translation>
    </message>
    <message>
        <source>新增用户(&amp;N)...</source>
        <translation>&amp;New user...</translation>
    </message>
    <message>
        <source>设置密码(&amp;P)...</source>
        <translation>Set &amp;password...</translation>
    </message>
    <message>
        <source>新用户的用户名：</source>
        <translation>User name of the new user:</translation>
    </message>
    <message>
        <source>请先选择用户</source>
        <translation>Choose a user first</translation>
    </message>
    <message>
        <source>用户 %1 的新密码：</source>
        <translation>New password of user %1:</translation>
    </message>
    <message>
        <source>密码已设置</source>
        <translation>The password is set</translation>
    </message>
    <message>
        <source>只有拥有全部权限的管理员才能管理用户与权限</source>
        <translation>Only an administrator holding every right manages users and rights</translation>
    </message>
    <message>
        <source>没有用户“%1”</source>
        <translation>There is no user &quot;%1&quot;</translation>
    </message>
    <message>
        <source>没有名为“%1”的权限；可用：query, save, close, delete, push, export, print, price, all</source>
        <translation>There is no right named &quot;%1&quot;; known: query, save, close, delete, push, export, print, price, all</translation>
    </message>
    <message>
        <source>用户名“%1”不可用：不能为空、含 $ 或 &quot; 或超过 63 个字符</source>
        <translation>The user name &quot;%1&quot; cannot be used: it may not be empty, contain $ or &quot; or exceed 63 characters</translation>
    </message>
    <message>
        <source>用户“%1”已存在</source>
        <translation>User &quot;%1&quot; exists already</translation>
    </message>
    <message>
        <source>用户已满：用户 ID 不能超过 32767</source>
        <translation>No more users: a user ID cannot exceed 32767</translation>
    </message>
    <message>
        <source>没有代码为“%1”的供应商</source>
        <translation>There is no supplier with code &quot;%1&quot;</translation>
    </message>
    <message>
        <source>SQLite 账套没有密码：由文件的所有者决定谁能使用</source>
        <translation>An SQLite store has no passwords: the file's owner decides who uses it</translation>
    </message>
    <message>
        <source>密码不能为空</source>
        <translation>The password may not be empty</translation>
    </message>
    <message>
        <source>无法为用户“%1”生成密码：%2</source>
        <translation>Cannot make the password of user &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>供应商 %1 %2%3，超过信用额度，不能保存</source>
        <translation>Supplier %1 %2%3: over the credit line, not saved</translation>
    </message>
    <message>
        <source>供应商 %1 %2%3，超过信用额度，不能下推</source>
        <translation>Supplier %1 %2%3: over the credit line, not pushed</translation>
    </message>
    <message>
        <source>：信用额度 %1，未结金额 %2</source>
        <translation>: credit line %1, open amount %2</translation>
    </message>
    <message>
        <source>供应商 %1 %2：超过信用额度</source>
        <translation>Supplier %1 %2: over the credit line</translation>
    </message>
    <message>
        <source>PostgreSQL 服务器 %1 要求输入用户 %2 的密码</source>
        <translation>The PostgreSQL server %1 asks for the password of user %2</translation>
    </message>
    <message>
        <source>PostgreSQL 服务器 %1 拒绝了用户 %2 的登录：密码不正确，或该用户不能登录数据库 %3</source>
        <translation>The PostgreSQL server %1 refused user %2: a wrong password, or the user may not log in to database %3</translation>
    </message>
    <message>
        <source>PostgreSQL 账套以连接所用的数据库角色登录：--user %1 与连接的角色 %2 不同；请在地址中写上用户，例如 postgresql://%1@主机/数据库</source>
        <translation>A PostgreSQL store logs in as the database role it connects as: --user %1 is not the connected role %2; put the user into the address, for example postgresql://%1@host/database</translation>
    </message>
    <message>
        <source>用户名“%1”不能作为 PostgreSQL 角色名（不能为空、含 $ 或超过 63 字节）</source>
        <translation>The user name &quot;%1&quot; cannot be a PostgreSQL role name (it may not be empty, contain $ or exceed 63 bytes)</translation>
    </message>
    <message>
        <source>登录</source>
        <translation>Log in</translation>
    </message>
    <message>
        <source>请输入用户 %1 在 %2 上的密码：</source>
        <translation>The password of user %1 on %2:</translation>
    </message>
    <message>
        <source>密码</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>已取消登录</source>
        <translation>Log-in cancelled</translation>
    </message>
    <message>
        <source>对不起，你没有相应的权限！</source>
        <translation>Sorry, you do not have the required right!</translation>
    </message>
    <message>
        <source>信息提示</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>没有供应商的权限，请与系统管理员联系!</source>
        <translation>You may not use this supplier; please ask your system administrator!</translation>
    </message>
    <message>
        <source>没有使用供应商“%1”的权限</source>
        <translation>you may not use supplier "%1"</translation>
    </message>
    <message>
        <source>该分录已被其他用户修改（或关闭、下推），请刷新后重新修改</source>
        <translation>this entry was changed by another user (edited, closed or ordered) since the list was loaded; refresh and make your change again</translation>
    </message>
    <message>
        <source>物料代码:</source>
        <translation>Item code:</translation>
    </message>
    <message>
        <source>采购建议号:</source>
        <translation>Suggestion no.:</translation>
    </message>
    <message>
        <source>已关闭不显示</source>
        <translation>Hide closed entries</translation>
    </message>
    <message>
        <source>下次直接以该方案进入</source>
        <translation>Open with this scheme next time</translation>
    </message>
    <message>
        <source>采购计划表</source>
        <translation>Purchase Plan List</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>操作(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>查看(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>帮助(H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>打印(&amp;P)...</source>
        <translation>&amp;Print...</translation>
    </message>
    <message>
        <source>打印预览(&amp;V)...</source>
        <translation>Print Pre&amp;view...</translation>
    </message>
    <message>
        <source>打印设置(&amp;S)...</source>
        <translation>Print &amp;Setup...</translation>
    </message>
    <message>
        <source>引出(&amp;E)</source>
        <translation>&amp;Export</translation>
    </message>
    <message>
        <source>退出(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>保存数据</source>
        <translation>Save data</translation>
    </message>
    <message>
        <source>删除(&amp;D)</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>删除采购计划</source>
        <translation>Delete purchase plans</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>全部选择</source>
        <translation>Select all rows</translation>
    </message>
    <message>
        <source>全清</source>
        <translation>Clear all</translation>
    </message>
    <message>
        <source>全部清除</source>
        <translation>Clear all rows</translation>
    </message>
    <message>
        <source>关闭(&amp;R)</source>
        <translation>Close entries (&amp;R)</translation>
    </message>
    <message>
        <source>关闭采购计划</source>
        <translation>Close purchase plan entries</translation>
    </message>
    <message>
        <source>反关闭</source>
        <translation>Reopen</translation>
    </message>
    <message>
        <source>反关闭采购计划</source>
        <translation>Reopen purchase plan entries</translation>
    </message>
    <message>
        <source>下推采购订单</source>
        <translation>Push to purchase orders</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>过滤条件(&amp;Q)...</source>
        <translation>Filter &amp;conditions...</translation>
    </message>
    <message>
        <source>显示/隐藏列(&amp;H)</source>
        <translation>Show/&amp;hide columns</translation>
    </message>
    <message>
        <source>批量填充</source>
        <translation>Fill down</translation>
    </message>
    <message>
        <source>上查(&amp;S)</source>
        <translation>Trace &amp;upstream</translation>
    </message>
    <message>
        <source>下查(&amp;X)</source>
        <translation>Trace &amp;downstream</translation>
    </message>
    <message>
        <source>帮助目录</source>
        <translation>Help contents</translation>
    </message>
    <message>
        <source>工具栏</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>下推</source>
        <translation>Push</translation>
    </message>
    <message>
        <source>汇总</source>
        <translation>Merge</translation>
    </message>
    <message>
        <source>合并物料代码,名称</source>
        <translation>Merge rows of one item code and name</translation>
    </message>
    <message>
        <source>过滤</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>显示/隐藏列</source>
        <translation>Columns</translation>
    </message>
    <message>
        <source>上查</source>
        <translation>Upstream</translation>
    </message>
    <message>
        <source>下查</source>
        <translation>Downstream</translation>
    </message>
    <message>
        <source>引出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>引出报表</source>
        <translation>Export the report</translation>
    </message>
    <message>
        <source>打印</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>预览</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>保存成功！</source>
        <translation>Saved successfully!</translation>
    </message>
    <message>
        <source>保存失败！</source>
        <translation>Saving failed!</translation>
    </message>
    <message>
        <source>对不起，你没有修改的权限！</source>
        <translation>Sorry, you do not have the right to change plans!</translation>
    </message>
    <message>
        <source>确定(&amp;O)</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>取消(&amp;C)</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>条件</source>
        <translation>Conditions</translation>
    </message>
    <message>
        <source>至:</source>
        <translation>To:</translation>
    </message>
    <message>
        <source>物料类别代码:</source>
        <translation>Item class code:</translation>
    </message>
    <message>
        <source>起始日期:</source>
        <translation>Start date:</translation>
    </message>
    <message>
        <source>截止日期:</source>
        <translation>End date:</translation>
    </message>
    <message>
        <source>方案</source>
        <translation>Scheme</translation>
    </message>
    <message>
        <source>方案：</source>
        <translation>Scheme:</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>查看</source>
        <translation>View</translation>
    </message>
    <message>
        <source>大图标(&amp;G)</source>
        <translation>Lar&amp;ge icons</translation>
    </message>
    <message>
        <source>小图标(&amp;M)</source>
        <translation>S&amp;mall icons</translation>
    </message>
    <message>
        <source>列表(&amp;L)</source>
        <translation>&amp;List</translation>
    </message>
    <message>
        <source>详细资料(&amp;D)</source>
        <translation>&amp;Details</translation>
    </message>
    <message>
        <source>起始日期不能大于截止日期!</source>
        <translation>The start date cannot be later than the end date!</translation>
    </message>
    <message>
        <source>默认方案</source>
        <translation>Default scheme</translation>
    </message>
    <message>
        <source>请输入方案名：</source>
        <translation>Enter a scheme name:</translation>
    </message>
    <message>
        <source>保存方案</source>
        <translation>Save scheme</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>请先选择需要关闭的数据！</source>
        <translation>Please select the entries to close first!</translation>
    </message>
    <message>
        <source>请先选择需要反关闭的数据！</source>
        <translation>Please select the entries to reopen first!</translation>
    </message>
    <message>
        <source>请先选择需要删除的数据！</source>
        <translation>Please select the entries to delete first!</translation>
    </message>
    <message>
        <source>系统将删除采购建议号：</source>
        <translation>The system will delete purchase suggestion numbers: </translation>
    </message>
    <message>
        <source>所关联的所有记录，是否继续？</source>
        <translation> and all records linked to them. Continue?</translation>
    </message>
    <message>
        <source>提示信息|</source>
        <translation>Information|</translation>
    </message>
    <message>
        <source>结果列表</source>
        <translation>Result list</translation>
    </message>
    <message>
        <source>复制(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>关闭(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>采购建议号[%1]分录号 %2：%3</source>
        <translation>Plan [%1], entry %2: %3</translation>
    </message>
    <message>
        <source>%1“%2”不是数字</source>
        <translation>%1 "%2" is not a number</translation>
    </message>
    <message>
        <source>%1不能为负数：%2</source>
        <translation>%1 cannot be negative: %2</translation>
    </message>
    <message>
        <source>%1应在 0 到 100 之间：%2</source>
        <translation>%1 must be between 0 and 100: %2</translation>
    </message>
    <message>
        <source>%1“%2”不是有效的日期</source>
        <translation>%1 "%2" is not a valid date</translation>
    </message>
    <message>
        <source>%1“%2”不是有效的编号</source>
        <translation>%1 "%2" is not a valid ID</translation>
    </message>
    <message>
        <source>供应商“%1”不存在</source>
        <translation>Supplier "%1" does not exist</translation>
    </message>
    <message>
        <source>该分录已不存在，可能已被删除</source>
        <translation>This entry no longer exists; it may have been deleted</translation>
    </message>
    <message>
        <source>该分录已经关闭</source>
        <translation>This entry is already closed</translation>
    </message>
    <message>
        <source>该分录未关闭</source>
        <translation>This entry is not closed</translation>
    </message>
    <message>
        <source>采购建议内码或分录号无效：%1_%2</source>
        <translation>Invalid plan ID or entry number: %1_%2</translation>
    </message>
    <message>
        <source>采购建议内码无效：%1</source>
        <translation>Invalid plan ID: %1</translation>
    </message>
    <message>
        <source>该采购建议已不存在，可能已被删除</source>
        <translation>This purchase plan no longer exists; it may have been deleted</translation>
    </message>
    <message>
        <source>分录号 %1 已下达采购订单，不能删除</source>
        <translation>Entry %1 already has purchase orders; the plan cannot be deleted</translation>
    </message>
    <message>
        <source>采购建议内码</source>
        <translation>Plan ID</translation>
    </message>
    <message>
        <source>分录号</source>
        <translation>Entry no.</translation>
    </message>
    <message>
        <source>供应商</source>
        <translation>Supplier</translation>
    </message>
    <message>
        <source>含税单价</source>
        <translation>Unit price incl. tax</translation>
    </message>
    <message>
        <source>下推数量</source>
        <translation>Quantity to push</translation>
    </message>
    <message>
        <source>折扣率</source>
        <translation>Discount rate</translation>
    </message>
    <message>
        <source>税率</source>
        <translation>Tax rate</translation>
    </message>
    <message>
        <source>建议交货日期</source>
        <translation>Suggested delivery date</translation>
    </message>
    <message>
        <source>过滤条件 %1 的值“%2”不是有效日期</source>
        <translation>The value "%2" of filter condition %1 is not a valid date</translation>
    </message>
    <message>
        <source>数据库 %1 读取采购计划失败：%2</source>
        <translation>Reading purchase plans from database %1 failed: %2</translation>
    </message>
    <message>
        <source>服务操作 %1 暂未提供</source>
        <translation>Service operation %1 is not available yet</translation>
    </message>
    <message>
        <source>方案记录缺少“%1”</source>
        <translation>A scheme record lacks "%1"</translation>
    </message>
    <message>
        <source>方案名不能为空</source>
        <translation>The scheme name must not be empty</translation>
    </message>
    <message>
        <source>方案“%1”的记录缺少“Key”</source>
        <translation>A record of scheme "%1" lacks "Key"</translation>
    </message>
    <message>
        <source>内码</source>
        <translation>Interior ID</translation>
    </message>
    <message>
        <source>明细ID</source>
        <translation>Entry ID</translation>
    </message>
    <message>
        <source>选择</source>
        <translation>Select</translation>
    </message>
    <message>
        <source>日期</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>关闭标识</source>
        <translation>Closed</translation>
    </message>
    <message>
        <source>物料代码</source>
        <translation>Item code</translation>
    </message>
    <message>
        <source>物料名称</source>
        <translation>Item name</translation>
    </message>
    <message>
        <source>规格型号</source>
        <translation>Specification</translation>
    </message>
    <message>
        <source>辅助属性</source>
        <translation>Aux. property</translation>
    </message>
    <message>
        <source>供应商代码</source>
        <translation>Supplier code</translation>
    </message>
    <message>
        <source>供应商名称</source>
        <translation>Supplier name</translation>
    </message>
    <message>
        <source>基本单位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>数量</source>
        <translation>Quantity</translation>
    </message>
    <message>
        <source>已下达采购订单数量</source>
        <translation>Ordered qty</translation>
    </message>
    <message>
        <source>未下达采购订单数量</source>
        <translation>Not yet ordered</translation>
    </message>
    <message>
        <source>折扣率(%)</source>
        <translation>Discount (%)</translation>
    </message>
    <message>
        <source>税率(%)</source>
        <translation>Tax rate (%)</translation>
    </message>
    <message>
        <source>采购建议号</source>
        <translation>Suggestion no.</translation>
    </message>
    <message>
        <source>源单单号</source>
        <translation>Source bill no.</translation>
    </message>
    <message>
        <source>备注</source>
        <translation>Remark</translation>
    </message>
    <message>
        <source>基本单位ID</source>
        <translation>Unit ID</translation>
    </message>
    <message>
        <source>辅助属性id</source>
        <translation>Aux. property ID</translation>
    </message>
    <message>
        <source>起始日期</source>
        <translation>Start date</translation>
    </message>
    <message>
        <source>供应商id</source>
        <translation>Supplier ID</translation>
    </message>
    <message>
        <source>数量精度位数</source>
        <translation>Qty decimals</translation>
    </message>
    <message>
        <source>单价精度位数</source>
        <translation>Price decimals</translation>
    </message>
    <message>
        <source>物料查询</source>
        <translation>Item Lookup</translation>
    </message>
    <message>
        <source>供应商查询</source>
        <translation>Supplier Lookup</translation>
    </message>
    <message>
        <source>代码</source>
        <translation>Code</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>查找</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>输入代码或名称的一部分</source>
        <translation>Type part of a code or name</translation>
    </message>
    <message>
        <source>没有符合条件的记录</source>
        <translation>No matching records</translation>
    </message>
    <message>
        <source>已显示 %1 条，向下滚动显示更多</source>
        <translation>Rows shown: %1; scroll down for more</translation>
    </message>
    <message>
        <source>共 %1 条</source>
        <translation>Rows: %1</translation>
    </message>
    <message>
        <source>%1 分录 %2: %3</source>
        <translation>%1 entry %2: %3</translation>
    </message>
    <message>
        <source>MRP运算</source>
        <translation>MRP run</translation>
    </message>
    <message>
        <source>“%1”不是有效的数字</source>
        <translation>"%1" is not a valid number</translation>
    </message>
    <message>
        <source>不支持的单据类型 %1</source>
        <translation>Unsupported bill type %1</translation>
    </message>
    <message>
        <source>不支持的查询方向 %1</source>
        <translation>Unsupported lookup direction %1</translation>
    </message>
    <message>
        <source>交货日期</source>
        <translation>Delivery date</translation>
    </message>
    <message>
        <source>交货日期不是有效日期</source>
        <translation>the delivery date is not a valid date</translation>
    </message>
    <message>
        <source>交货日期不能早于订单日期 %1</source>
        <translation>the delivery date must not be before the order date %1</translation>
    </message>
    <message>
        <source>以下物料的单价高于供应商价格表单价加 %1% 的限价，是否继续下推？</source>
        <translation>The prices of these items are above the supplier's list price plus %1%. Push them anyway?</translation>
    </message>
    <message>
        <source>价格表单价</source>
        <translation>List price</translation>
    </message>
    <message>
        <source>单价</source>
        <translation>Price</translation>
    </message>
    <message>
        <source>单价不能小于 0</source>
        <translation>the price must not be below 0</translation>
    </message>
    <message>
        <source>单位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>单据类型</source>
        <translation>Bill type</translation>
    </message>
    <message>
        <source>单据编号</source>
        <translation>Bill number</translation>
    </message>
    <message>
        <source>取消下推</source>
        <translation>Stop push</translation>
    </message>
    <message>
        <source>采购订单 %1 第 %2 行已被其他用户修改，请关闭后重新打开</source>
        <translation>Line %2 of purchase order %1 was changed by another user; close the order and open it again</translation>
    </message>
    <message>
        <source>供应商 %1 %2：信用额度 %3，未结金额 %4，超过信用额度，不能保存</source>
        <translation>Supplier %1 %2: credit line %3, open amount %4; over the credit line, not saved</translation>
    </message>
    <message>
        <source>数据库 %1 仍允许任何角色连接和建临时表：请由服务器的超级用户（或数据库的所有者）以 --sync-roles 打开一次本账套</source>
        <translation>Database %1 still lets any role connect and make temporary tables: have the server's superuser (or the database's owner) open this store once with --sync-roles</translation>
    </message>
    <message>
        <source>第 %1 行的供应商已修改，尚未保存：请先保存，再下推</source>
        <translation>The supplier of row %1 was changed and not saved yet: save first, then push</translation>
    </message>
    <message>
        <source>单价高于供应商价格表的限价，下推前未经确认；请重新下推</source>
        <translation>The unit price is above the supplier's price list limit and was not confirmed before the push; push again</translation>
    </message>
    <message>
        <source>单价 %1 高于供应商价格表的限价 %2，下推前未经确认；请重新下推</source>
        <translation>The unit price %1 is above the supplier's price list limit %2 and was not confirmed before the push; push again</translation>
    </message>
    <message>
        <source>第 %1 行单价高于供应商价格表的限价，未经确认，不能保存</source>
        <translation>Line %1: the unit price is above the supplier's price list limit and was not confirmed; not saved</translation>
    </message>
    <message>
        <source>第 %1 行单价高于供应商价格表的限价，是否保存？</source>
        <translation>Line %1: the unit price is above the supplier's price list limit. Save anyway?</translation>
    </message>
    <message>
        <source>供应商 %1 %2：信用额度 %3，未结金额 %4，超过信用额度，不能下推</source>
        <translation>Supplier %1 %2: credit line %3, open amount %4; over the credit line, not pushed</translation>
    </message>
    <message>
        <source>该分录已被其他用户修改，请刷新后重新下推</source>
        <translation>This entry was changed by another user; refresh and push again</translation>
    </message>
    <message>
        <source>合并为一行的分录单价不同，不能合并下推，请分开下推</source>
        <translation>The entries folded into this line have different prices; push them separately</translation>
    </message>
    <message>
        <source>可修改数量和交货日期</source>
        <translation>Quantity and delivery date can be changed</translation>
    </message>
    <message>
        <source>你没有修改该采购订单的权限，只能查看</source>
        <translation>You may not change this purchase order; it can only be viewed</translation>
    </message>
    <message>
        <source>可修改数量、单价和交货日期</source>
        <translation>Quantity, price and delivery date can be changed</translation>
    </message>
    <message>
        <source>打开订单(&amp;O)</source>
        <translation>&amp;Open order</translation>
    </message>
    <message>
        <source>数量不能小于 0</source>
        <translation>the quantity must not be below 0</translation>
    </message>
    <message>
        <source>本分录数量</source>
        <translation>Qty from this entry</translation>
    </message>
    <message>
        <source>来源计划分录</source>
        <translation>From plan entries</translation>
    </message>
    <message>
        <source>没有要显示的采购订单</source>
        <translation>There is no purchase order to show</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>第 %1 行</source>
        <translation>Line %1: </translation>
    </message>
    <message>
        <source>第 %1 行：计划单 %2 分录 %3 未下推数量不足（需要 %4，可用 %5）</source>
        <translation>Line %1: plan %2, entry %3 has too little quantity left to push (needed %4, left %5)</translation>
    </message>
    <message>
        <source>继续下推</source>
        <translation>Push anyway</translation>
    </message>
    <message>
        <source>行号</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>计划单 %1 分录 %2</source>
        <translation>plan %1, entry %2</translation>
    </message>
    <message>
        <source>第%1行（计划单 %2 分录 %3）</source>
        <translation>row %1 (plan %2, entry %3)</translation>
    </message>
    <message>
        <source>计划单 %1 分录 %2 不存在</source>
        <translation>Plan %1 has no entry %2</translation>
    </message>
    <message>
        <source>计划单分录不存在（内码 %1，分录 %2）</source>
        <translation>The plan entry does not exist (plan ID %1, entry %2)</translation>
    </message>
    <message>
        <source>订单编号</source>
        <translation>Order number</translation>
    </message>
    <message>
        <source>订单行数量</source>
        <translation>Order line qty</translation>
    </message>
    <message>
        <source>该采购订单已关闭，只能查看</source>
        <translation>This purchase order is closed and can only be viewed</translation>
    </message>
    <message>
        <source>采购单价超过限价</source>
        <translation>Purchase Prices Above Limit</translation>
    </message>
    <message>
        <source>采购员</source>
        <translation>Buyer</translation>
    </message>
    <message>
        <source>采购订单 %1 不存在</source>
        <translation>Purchase order %1 does not exist</translation>
    </message>
    <message>
        <source>采购订单 %1 已关闭，不能修改</source>
        <translation>Purchase order %1 is closed and cannot be changed</translation>
    </message>
    <message>
        <source>采购订单 %1 没有第 %2 行</source>
        <translation>Purchase order %1 has no line %2</translation>
    </message>
    <message>
        <source>采购订单 - %1</source>
        <translation>Purchase order - %1</translation>
    </message>
    <message>
        <source>采购订单分录</source>
        <translation>Purchase order lines</translation>
    </message>
    <message>
        <source>采购订单已修改，是否保存？</source>
        <translation>The purchase order was changed. Save it?</translation>
    </message>
    <message>
        <source>金额</source>
        <translation>Amount</translation>
    </message>
    <message>
        <source>销售订单</source>
        <translation>Sales order</translation>
    </message>
    <message>
        <source>限价</source>
        <translation>Limit</translation>
    </message>
    <message>
        <source>预测单</source>
        <translation>Forecast</translation>
    </message>
    <message>
        <source>已关闭</source>
        <translation>Closed</translation>
    </message>
    <message>
        <source>未关闭</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>上游单据</source>
        <translation>Upstream bills</translation>
    </message>
    <message>
        <source>下游单据</source>
        <translation>Downstream bills</translation>
    </message>
    <message>
        <source>该分录没有上游单据</source>
        <translation>This entry has no upstream bills</translation>
    </message>
    <message>
        <source>该分录还没有下推的采购订单</source>
        <translation>No purchase order has been made from this entry yet</translation>
    </message>
    <message>
        <source>下推数量 %1 超过未下达采购订单数量 %2，可能已被其他用户下推，请刷新后重新下推</source>
        <translation>Quantity to push %1 exceeds the quantity not yet ordered, %2; another user may have pushed it. Refresh and push again</translation>
    </message>
    <message>
        <source>下推数量必须大于 0：%1</source>
        <translation>The quantity to push must be greater than 0: %1</translation>
    </message>
    <message>
        <source>该分录没有供应商，不能下推</source>
        <translation>This entry has no supplier and cannot be pushed</translation>
    </message>
    <message>
        <source>该分录已关闭，不能下推</source>
        <translation>This entry is closed and cannot be pushed</translation>
    </message>
    <message>
        <source>该分录的供应商已被其他用户修改，请刷新后重新下推</source>
        <translation>Another user changed the supplier of this entry; refresh and push again</translation>
    </message>
    <message>
        <source>该分录的物料与下推行不一致</source>
        <translation>The item of this entry differs from the push line</translation>
    </message>
    <message>
        <source>供应商 %1 %2：信用额度 %3，未结金额 %4</source>
        <translation>Supplier %1 %2: credit line %3, open amount %4</translation>
    </message>
    <message>
        <source>采购订单内码列表“%1”无效：%2</source>
        <translation>Invalid list of purchase order IDs &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>当前光标所在行没有数据。</source>
        <translation>The row under the cursor holds no data.</translation>
    </message>
    <message>
        <source>正在装入采购计划…</source>
        <translation>Loading the purchase plan…</translation>
    </message>
    <message>
        <source>正在读取采购计划…</source>
        <translation>Reading the purchase plan…</translation>
    </message>
    <message>
        <source>读取采购计划已取消</source>
        <translation>Reading the purchase plan was cancelled</translation>
    </message>
    <message>
        <source>汇总中物料记录太多,已超出汇总范围,请去掉一些物料数据后再试！</source>
        <translation>Too many item records to merge; remove some items and try again!</translation>
    </message>
    <message>
        <source>汇总中物料记录较多，可能会影响性能，请问是否继续？</source>
        <translation>Merging this many item records may be slow. Continue?</translation>
    </message>
    <message>
        <source>存在已关闭记录，不能进行汇总，请过滤时选择“已关闭不显示”后，再进行汇总。</source>
        <translation>Closed records are listed, so the rows cannot be merged. Choose "Hide closed" in the filter, then merge.</translation>
    </message>
    <message>
        <source>当前记录信息已经改变，是否需要保存？</source>
        <translation>The records have changed. Save them?</translation>
    </message>
    <message>
        <source>Marvane提示</source>
        <translation>Marvane</translation>
    </message>
    <message>
        <source>下推生成的采购订单</source>
        <translation>Purchase orders created by the push</translation>
    </message>
    <message>
        <source>查看订单</source>
        <translation>Open order</translation>
    </message>
    <message>
        <source>没有取到采购订单</source>
        <translation>The purchase orders could not be read</translation>
    </message>
    <message>
        <source>第</source>
        <translation>Row </translation>
    </message>
    <message>
        <source>行物料已关闭,不能下推</source>
        <translation>: the item is closed and cannot be pushed</translation>
    </message>
    <message>
        <source>行建议交货日期不能为空</source>
        <translation>: the delivery date must not be empty</translation>
    </message>
    <message>
        <source>行建议交货日期不能小于单据日期</source>
        <translation>: the delivery date must not be before the bill date</translation>
    </message>
    <message>
        <source>行建议交货日期不是有效日期</source>
        <translation>: the delivery date is not a valid date</translation>
    </message>
    <message>
        <source>建议交货日期不能为空</source>
        <translation>the delivery date must not be empty</translation>
    </message>
    <message>
        <source>建议交货日期不能小于单据日期</source>
        <translation>the delivery date must not be before the bill date</translation>
    </message>
    <message>
        <source>建议交货日期不是有效日期</source>
        <translation>the delivery date is not a valid date</translation>
    </message>
    <message>
        <source>行下推数量不能小于或等于'0'</source>
        <translation>: the quantity to push must be greater than '0'</translation>
    </message>
    <message>
        <source>行供应商代码不能为空</source>
        <translation>: the supplier code must not be empty</translation>
    </message>
    <message>
        <source>……另有 %1 个问题未列出</source>
        <translation>… and %1 more problems, not listed</translation>
    </message>
    <message>
        <source>请勾选需要下推的数据！</source>
        <translation>Please tick the rows to push!</translation>
    </message>
    <message>
        <source>以下供应商已超过信用额度，是否保存？</source>
        <translation>These suppliers are over their credit line. Go on?</translation>
    </message>
    <message>
        <source>以下供应商已超出信用额度，不允许保存!</source>
        <translation>These suppliers are over their credit line; the push is not allowed!</translation>
    </message>
    <message>
        <source>请先选择需要</source>
        <translation>Please tick an item record for </translation>
    </message>
    <message>
        <source>的物料记录数据！</source>
        <translation> first!</translation>
    </message>
    <message>
        <source>数据操作错误:</source>
        <translation>Data operation error:</translation>
    </message>
    <message>
        <source>是(&amp;Y)</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>否(&amp;N)</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>是否覆盖原方案？</source>
        <translation>Overwrite the existing scheme?</translation>
    </message>
    <message>
        <source>不能删除默认方案！</source>
        <translation>The default scheme cannot be deleted!</translation>
    </message>
    <message>
        <source>列(&amp;L):</source>
        <translation>&amp;Columns:</translation>
    </message>
    <message>
        <source>应用(&amp;A)</source>
        <translation>&amp;Apply</translation>
    </message>
    <message>
        <source>引出组件调用不成功</source>
        <translation>The export component could not be used</translation>
    </message>
    <message>
        <source>第&amp;[页]页/共&amp;[总页]页</source>
        <translation>Page &amp;[页] of &amp;[总页]</translation>
    </message>
    <message>
        <source>文件名(&amp;N):</source>
        <translation>File &amp;name:</translation>
    </message>
    <message>
        <source>文件名</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>浏览...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>浏览</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>保存类型(&amp;T):</source>
        <translation>Save as &amp;type:</translation>
    </message>
    <message>
        <source>保存类型</source>
        <translation>Save as type</translation>
    </message>
    <message>
        <source>Excel 工作簿 (*.xlsx)</source>
        <translation>Excel Workbook (*.xlsx)</translation>
    </message>
    <message>
        <source>CSV (UTF-8 逗号分隔) (*.csv)</source>
        <translation>CSV UTF-8 (Comma delimited) (*.csv)</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>引出到文件</source>
        <translation>Export to File</translation>
    </message>
    <message>
        <source>请输入要引出的文件名。</source>
        <translation>Please enter the name of the file to export to.</translation>
    </message>
    <message>
        <source>“%1”是一个文件夹，请输入文件名。</source>
        <translation>"%1" is a folder. Please enter a file name.</translation>
    </message>
    <message>
        <source>文件“%1”已存在。要替换它吗？</source>
        <translation>The file "%1" already exists. Do you want to replace it?</translation>
    </message>
    <message>
        <source>正在引出“%1”...</source>
        <translation>Exporting "%1"...</translation>
    </message>
    <message>
        <source>无法写入文件“%1”：%2</source>
        <translation>Cannot write the file "%1": %2</translation>
    </message>
    <message>
        <source>文件夹“%1”不存在。</source>
        <translation>The folder "%1" does not exist.</translation>
    </message>
    <message>
        <source>已有同名的文件夹。</source>
        <translation>A folder with this name already exists.</translation>
    </message>
    <message>
        <source>没有文件名。</source>
        <translation>No file name was given.</translation>
    </message>
    <message>
        <source>无法在该文件夹中创建文件（%1）。</source>
        <translation>Cannot create a file in this folder (%1).</translation>
    </message>
    <message>
        <source>无法创建 Excel 工作簿。</source>
        <translation>Cannot create the Excel workbook.</translation>
    </message>
    <message>
        <source>无法创建工作表。</source>
        <translation>Cannot create the worksheet.</translation>
    </message>
    <message>
        <source>没有要引出的列。</source>
        <translation>There are no columns to export.</translation>
    </message>
    <message>
        <source>Excel 工作表最多容纳 %1 行数据，要引出的有 %2 行。</source>
        <translation>An Excel worksheet holds at most %1 data rows; %2 rows are to be exported.</translation>
    </message>
    <message>
        <source>引出已取消。</source>
        <translation>The export was cancelled.</translation>
    </message>
    <message>
        <source>打印预览</source>
        <translation>Print Preview</translation>
    </message>
    <message>
        <source>预览工具栏</source>
        <translation>Preview toolbar</translation>
    </message>
    <message>
        <source>预览页面</source>
        <translation>Preview page</translation>
    </message>
    <message>
        <source>另存为PDF</source>
        <translation>Save as PDF</translation>
    </message>
    <message>
        <source>页面设置</source>
        <translation>Page Setup</translation>
    </message>
    <message>
        <source>首页</source>
        <translation>First Page</translation>
    </message>
    <message>
        <source>上一页</source>
        <translation>Previous Page</translation>
    </message>
    <message>
        <source>下一页</source>
        <translation>Next Page</translation>
    </message>
    <message>
        <source>末页</source>
        <translation>Last Page</translation>
    </message>
    <message>
        <source>页码</source>
        <translation>Page number</translation>
    </message>
    <message>
        <source>共 %1 页</source>
        <translation>of %1 pages</translation>
    </message>
    <message>
        <source>缩小</source>
        <translation>Zoom Out</translation>
    </message>
    <message>
        <source>放大</source>
        <translation>Zoom In</translation>
    </message>
    <message>
        <source>缩放</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>适合宽度</source>
        <translation>Fit Width</translation>
    </message>
    <message>
        <source>整页</source>
        <translation>Whole Page</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>PDF 文件 (*.pdf)</source>
        <translation>PDF files (*.pdf)</translation>
    </message>
    <message>
        <source>页面</source>
        <translation>Page</translation>
    </message>
    <message>
        <source>纸张</source>
        <translation>Paper</translation>
    </message>
    <message>
        <source>纸张大小</source>
        <translation>Paper size</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Orientation</translation>
    </message>
    <message>
        <source>纵向</source>
        <translation>Portrait</translation>
    </message>
    <message>
        <source>横向</source>
        <translation>Landscape</translation>
    </message>
    <message>
        <source>页边距（毫米）</source>
        <translation>Margins (mm)</translation>
    </message>
    <message>
        <source>上</source>
        <translation>Top</translation>
    </message>
    <message>
        <source>下</source>
        <translation>Bottom</translation>
    </message>
    <message>
        <source>左</source>
        <translation>Left</translation>
    </message>
    <message>
        <source>右</source>
        <translation>Right</translation>
    </message>
    <message>
        <source>超宽时</source>
        <translation>When too wide</translation>
    </message>
    <message>
        <source>多出的列打印到后续页</source>
        <translation>Print extra columns on further pages</translation>
    </message>
    <message>
        <source>缩小到页宽</source>
        <translation>Shrink to page width</translation>
    </message>
    <message>
        <source>选项</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>彩色打印</source>
        <translation>Print in colour</translation>
    </message>
    <message>
        <source>每页打印页眉页脚</source>
        <translation>Header and footer on every page</translation>
    </message>
    <message>
        <source>表格线延伸到页底</source>
        <translation>Extend grid lines to the page bottom</translation>
    </message>
    <message>
        <source>页脚位于页底</source>
        <translation>Footer at the page bottom</translation>
    </message>
    <message>
        <source>水平居中</source>
        <translation>Centre horizontally</translation>
    </message>
    <message>
        <source>垂直居中</source>
        <translation>Centre vertically</translation>
    </message>
    <message>
        <source>打印页码</source>
        <translation>Print page numbers</translation>
    </message>
    <message>
        <source>横向分页各自编页码</source>
        <translation>Number pages across separately</translation>
    </message>
    <message>
        <source>节约纸张（行距紧凑）</source>
        <translation>Save paper (tight rows)</translation>
    </message>
    <message>
        <source>不打印外框</source>
        <translation>No outer frame</translation>
    </message>
    <message>
        <source>不打印横线</source>
        <translation>No row lines</translation>
    </message>
    <message>
        <source>不打印竖线</source>
        <translation>No column lines</translation>
    </message>
    <message>
        <source>页眉页脚</source>
        <translation>Header and Footer</translation>
    </message>
    <message>
        <source>文字</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>粗体</source>
        <translation>Bold</translation>
    </message>
    <message>
        <source>字号</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>页眉%1</source>
        <translation>Header %1</translation>
    </message>
    <message>
        <source>页脚%1</source>
        <translation>Footer %1</translation>
    </message>
    <message>
        <source>0 为通栏一行；1-3、4-6、7-9 为三行，各分左、中、右。&amp;[页] 印为页码，&amp;[总页] 印为总页数。</source>
        <translation>0 is a full-width line; 1-3, 4-6 and 7-9 are three lines, each left, centre and right. &amp;[页] prints the page number, &amp;[总页] the page count.</translation>
    </message>
    <message>
        <source>取价请求为空</source>
        <translation>The price request is empty</translation>
    </message>
    <message>
        <source>取价请求的 %1“%2”不是有效的编号</source>
        <translation>%1 "%2" of the price request is not a valid ID</translation>
    </message>
    <message>
        <source>方案记录缺少“RptID”</source>
        <translation>The scheme record lacks "RptID"</translation>
    </message>
    <message>
        <source>查找(&amp;F)...</source>
        <translation>&amp;Find...</translation>
    </message>
    <message>
        <source>查找(&amp;N):</source>
        <translation>Fi&amp;nd:</translation>
    </message>
    <message>
        <source>查找内容</source>
        <translation>Text to find</translation>
    </message>
    <message>
        <source>下一个(&amp;D)</source>
        <translation>Ne&amp;xt</translation>
    </message>
    <message>
        <source>上一个(&amp;P)</source>
        <translation>&amp;Previous</translation>
    </message>
    <message>
        <source>区分大小写(&amp;C)</source>
        <translation>Match &amp;case</translation>
    </message>
    <message>
        <source>查找结果</source>
        <translation>Find result</translation>
    </message>
    <message>
        <source>未找到“%1”</source>
        <translation>"%1" not found</translation>
    </message>
    <message>
        <source>没有代码为“%1”的供应商。</source>
        <translation>There is no supplier with the code "%1".</translation>
    </message>
    <message>
        <source>将把“%1”填充到 %2 行，是否继续？</source>
        <translation>Fill "%1" into %2 rows?</translation>
    </message>
    <message>
        <source>第%1行（采购建议号[%2]分录号 %3）：%4</source>
        <translation>Row %1 (plan [%2], entry %3): %4</translation>
    </message>
    <message>
        <source>下推数量 %1 大于未下达采购订单数量 %2</source>
        <translation>the quantity to push %1 is more than the %2 not yet ordered</translation>
    </message>
    <message>
        <source>行下推数量不能大于未下达采购订单数量</source>
        <translation>: the quantity to push must not be more than what is not yet ordered</translation>
    </message>
    <message>
        <source>价税合计</source>
        <translation>Total incl. tax</translation>
    </message>
    <message>
        <source>不含税金额</source>
        <translation>Amount excl. tax</translation>
    </message>
    <message>
        <source>税额</source>
        <translation>Tax</translation>
    </message>
    <message>
        <source>共 %1 行</source>
        <translation>%1 rows</translation>
    </message>
    <message>
        <source>，%1 行有未保存的修改</source>
        <translation>, %1 with unsaved edits</translation>
    </message>
    <message>
        <source>数据库 %1 正被其他程序或用户写入，等待超时，本次操作未完成，请稍后重试。</source>
        <translation>The store %1 is being written by another program or user and did not become free in time; nothing was changed. Please try again shortly.</translation>
    </message>
    <message>
        <source>数据库 %1 所在的磁盘已满（或已达到数据库的大小上限），本次操作未完成。</source>
        <translation>The disk of the store %1 is full (or the store reached its size limit); nothing was changed.</translation>
    </message>
    <message>
        <source>数据库 %1 不可写入（文件或目录只读），本次操作未完成。</source>
        <translation>The store %1 cannot be written (the file or its folder is read-only); nothing was changed.</translation>
    </message>
    <message>
        <source>与数据库服务器 %1 的连接已断开，本次操作未完成；服务器恢复后请重试。</source>
        <translation>The connection to the database server %1 was lost; nothing was changed. Try again when the server is back.</translation>
    </message>
    <message>
        <source>数据库 %1 因与其他用户的操作冲突撤销了本次操作，请重试。</source>
        <translation>The store %1 undid this operation because it met another user's; please try again.</translation>
    </message>
    <message>
        <source>数据库 %1 %2失败。</source>
        <translation>The store %1 could not %2.</translation>
    </message>
    <message>
        <source>与数据库服务器 %1 的连接已断开，未能读取采购计划；服务器恢复后请重试。</source>
        <translation>The connection to the database server %1 was lost and the purchase plan could not be read. Try again when the server is back.</translation>
    </message>
    <message>
        <source>准备语句</source>
        <translation>prepare a statement</translation>
    </message>
    <message>
        <source>执行语句</source>
        <translation>run a statement</translation>
    </message>
    <message>
        <source>另一用户正在修改这些数据，等待超过 %1 秒，本次操作未完成，请稍后再试。</source>
        <translation>Another user is changing these entries; after waiting %1 s nothing was changed. Please try again shortly.</translation>
    </message>
    <message>
        <source>数据库服务器 %1 在 %2 秒内没有应答，已断开连接，本次操作未完成；服务器恢复后请重试。</source>
        <translation>The database server %1 did not answer within %2 s; the connection was closed and nothing was changed. Please try again once the server is back.</translation>
    </message>
    <message>
        <source>数据库 %1 的操作超过了 %2 秒的时间限制，本次操作未完成。</source>
        <translation>The store %1 took longer than the %2 s limit; nothing was changed.</translation>
    </message>
    <message>
        <source>与数据库服务器 %1 的连接在提交时断开，无法确定本次操作是否已完成；请查看重新读取的数据。</source>
        <translation>The connection to the database server %1 was lost while the change was being committed, so it is not known whether it was made; look at the list as read again.</translation>
    </message>
    <message>
        <source>%1不能超过 %2 个字符（现有 %3 个）</source>
        <translation>%1 may hold at most %2 characters (this one has %3)</translation>
    </message>
    <message>
        <source>方案名</source>
        <translation>Scheme name</translation>
    </message>
    <message>
        <source>方案项目</source>
        <translation>Scheme item</translation>
    </message>
    <message>
        <source>方案条件</source>
        <translation>Scheme condition</translation>
    </message>
    <message>
        <source>格式名</source>
        <translation>Format name</translation>
    </message>
    <message>
        <source>格式内容</source>
        <translation>Format contents</translation>
    </message>
    <message>
        <source>文件是空的：第一行应是列标题</source>
        <translation>The file is empty: its first row must hold the captions</translation>
    </message>
    <message>
        <source>导入已取消，没有写入任何数据</source>
        <translation>The import was cancelled; nothing was written</translation>
    </message>
    <message>
        <source>问题太多，其余的不再列出</source>
        <translation>Too many problems; the rest are not listed</translation>
    </message>
    <message>
        <source>该列出现了两次</source>
        <translation>This column appears twice</translation>
    </message>
    <message>
        <source>缺少此列</source>
        <translation>This column is missing</translation>
    </message>
    <message>
        <source>不能为空</source>
        <translation>Must not be empty</translation>
    </message>
    <message>
        <source>“%1”不是数字</source>
        <translation>&quot;%1&quot; is not a number</translation>
    </message>
    <message>
        <source>数字 %1 太大</source>
        <translation>The number %1 is too large</translation>
    </message>
    <message>
        <source>“%1”不是整数</source>
        <translation>&quot;%1&quot; is not a whole number</translation>
    </message>
    <message>
        <source>“%1”不是日期</source>
        <translation>&quot;%1&quot; is not a date</translation>
    </message>
    <message>
        <source>“%1”应为 是 或 否</source>
        <translation>&quot;%1&quot; should be yes or no</translation>
    </message>
    <message>
        <source>太长：最多 %1 个字符</source>
        <translation>Too long: at most %1 characters</translation>
    </message>
    <message>
        <source>不能为负数</source>
        <translation>Must not be negative</translation>
    </message>
    <message>
        <source>应在 %1 到 %2 之间</source>
        <translation>Must be between %1 and %2</translation>
    </message>
    <message>
        <source>“%1”在文件中出现了两次</source>
        <translation>&quot;%1&quot; appears twice in the file</translation>
    </message>
    <message>
        <source>“%1”已存在（选择“更新已有数据”可以改写它）</source>
        <translation>&quot;%1&quot; exists already (choose &quot;Update existing data&quot; to change it)</translation>
    </message>
    <message>
        <source>“%1”应为 空、2（提示）或 3（禁止）</source>
        <translation>&quot;%1&quot; should be empty, 2 (warn) or 3 (forbid)</translation>
    </message>
    <message>
        <source>没有单价权限，不能导入单价</source>
        <translation>Without the price right, prices cannot be imported</translation>
    </message>
    <message>
        <source>采购建议号“%1”已存在，不能再导入</source>
        <translation>Suggestion no. &quot;%1&quot; exists already and cannot be imported again</translation>
    </message>
    <message>
        <source>一张采购计划最多 999 条分录</source>
        <translation>A plan holds at most 999 entries</translation>
    </message>
    <message>
        <source>没有“%1”这种导入数据，可用的有：%2</source>
        <translation>There is no import of &quot;%1&quot;; there are: %2</translation>
    </message>
    <message>
        <source>只有系统管理员可以导入用户的供应商权限</source>
        <translation>Only the administrator may import users' supplier rights</translation>
    </message>
    <message>
        <source>无法写入模板 %1：%2</source>
        <translation>The template %1 cannot be written: %2</translation>
    </message>
    <message>
        <source>第 %1 行：%2</source>
        <translation>Row %1: %2</translation>
    </message>
    <message>
        <source>第 %1 行，%2：%3</source>
        <translation>Row %1, %2: %3</translation>
    </message>
    <message>
        <source>电子表格 (*.xlsx *.csv)</source>
        <translation>Spreadsheets (*.xlsx *.csv)</translation>
    </message>
    <message>
        <source>所有文件 (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>导入数据</source>
        <translation>Import data</translation>
    </message>
    <message>
        <source>XLSX 或 CSV 文件，第一行为列标题</source>
        <translation>An XLSX or CSV file, captions in the first row</translation>
    </message>
    <message>
        <source>更新已有数据（代码相同时改写，采购计划除外）</source>
        <translation>Update existing data (rows with a code that exists change it; plans excepted)</translation>
    </message>
    <message>
        <source>行</source>
        <translation>Row</translation>
    </message>
    <message>
        <source>列</source>
        <translation>Column</translation>
    </message>
    <message>
        <source>问题</source>
        <translation>Problem</translation>
    </message>
    <message>
        <source>先选择数据种类和文件，点“检查”列出所有问题；没有问题时点“导入”。</source>
        <translation>Choose the data and the file, then Check lists every problem; when there are none, Import.</translation>
    </message>
    <message>
        <source>数据(&amp;D)：</source>
        <translation>&amp;Data:</translation>
    </message>
    <message>
        <source>文件(&amp;F)：</source>
        <translation>&amp;File:</translation>
    </message>
    <message>
        <source>选择要导入的文件</source>
        <translation>Choose the file to import</translation>
    </message>
    <message>
        <source>保存模板</source>
        <translation>Save template</translation>
    </message>
    <message>
        <source>模板已保存：%1</source>
        <translation>Template saved: %1</translation>
    </message>
    <message>
        <source>请先选择要导入的文件</source>
        <translation>Choose the file to import first</translation>
    </message>
    <message>
        <source>正在读取 %1 ...</source>
        <translation>Reading %1 ...</translation>
    </message>
    <message>
        <source>%1 行，%2 个问题，未写入任何数据：请在文件中改正后再导入。</source>
        <translation>%1 rows, %2 problems; nothing was written. Correct the file and import it again.</translation>
    </message>
    <message>
        <source>%1 行，没有问题，可以导入。</source>
        <translation>%1 rows, no problems: ready to import.</translation>
    </message>
    <message>
        <source>%1 行已导入：新增 %2，更新 %3。</source>
        <translation>%1 rows imported: %2 added, %3 updated.</translation>
    </message>
    <message>
        <source>无法打开文件 %1：%2</source>
        <translation>The file %1 cannot be opened: %2</translation>
    </message>
    <message>
        <source>文件 %1 不是 UTF-8 编码的 CSV 文件，请在电子表格中另存为“CSV UTF-8”后再导入</source>
        <translation>The file %1 is not a UTF-8 CSV file; save it as &quot;CSV UTF-8&quot; in the spreadsheet and import it again</translation>
    </message>
    <message>
        <source>无法读取文件 %1：它不是 XLSX 工作簿</source>
        <translation>The file %1 cannot be read: it is no XLSX workbook</translation>
    </message>
    <message>
        <source>工作簿 %1 中没有工作表</source>
        <translation>The workbook %1 has no sheet</translation>
    </message>
    <message>
        <source>工作簿 %1 的内容有误：%2</source>
        <translation>The workbook %1 is damaged: %2</translation>
    </message>
    <message>
        <source>工作簿 %1 已损坏，无法解压</source>
        <translation>The workbook %1 is damaged and cannot be unpacked</translation>
    </message>
    <message>
        <source>文件 %1 不存在</source>
        <translation>The file %1 does not exist</translation>
    </message>
    <message>
        <source>无法读取文件 %1</source>
        <translation>The file %1 cannot be read</translation>
    </message>
    <message>
        <source>只能导入 XLSX 或 CSV 文件：%1</source>
        <translation>Only XLSX or CSV files can be imported: %1</translation>
    </message>
    <message>
        <source>%1 行，%2 个问题，未写入任何数据</source>
        <translation>%1 rows, %2 problems; nothing was written</translation>
    </message>
    <message>
        <source>%1 行，没有问题（试运行，未写入）</source>
        <translation>%1 rows, no problems (dry run, nothing written)</translation>
    </message>
    <message>
        <source>%1 行已导入：新增 %2，更新 %3</source>
        <translation>%1 rows imported: %2 added, %3 updated</translation>
    </message>
    <message>
        <source>导入(&amp;I)...</source>
        <translation>&amp;Import...</translation>
    </message>
    <message>
        <source>信用额度</source>
        <translation>Credit line</translation>
    </message>
    <message>
        <source>信用控制</source>
        <translation>Credit control</translation>
    </message>
    <message>
        <source>生效日期</source>
        <translation>Valid from</translation>
    </message>
    <message>
        <source>用户名</source>
        <translation>User name</translation>
    </message>
    <message>
        <source>允许使用</source>
        <translation>May use</translation>
    </message>
    <message>
        <source>计量单位</source>
        <translation>Units</translation>
    </message>
    <message>
        <source>物料</source>
        <translation>Items</translation>
    </message>
    <message>
        <source>供应商价格表</source>
        <translation>Supplier price lists</translation>
    </message>
    <message>
        <source>用户的供应商权限</source>
        <translation>Users' supplier rights</translation>
    </message>
    <message>
        <source>采购计划</source>
        <translation>Purchase plans</translation>
    </message>
    <message>
        <source>导入</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>浏览(&amp;B)...</source>
        <translation>&amp;Browse...</translation>
    </message>
    <message>
        <source>保存模板(&amp;T)...</source>
        <translation>Save &amp;template...</translation>
    </message>
    <message>
        <source>检查(&amp;K)</source>
        <translation>Chec&amp;k</translation>
    </message>
    <message>
        <source>导入(&amp;I)</source>
        <translation>&amp;Import</translation>
    </message>
    <message>
        <source>采购订单</source>
        <translation>Purchase order</translation>
    </message>
    <message>
        <source>折扣额</source>
        <translation>Discount amount</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>订单号</source>
        <translation>Order No.</translation>
    </message>
    <message>
        <source>合计</source>
        <translation>Total</translation>
    </message>
    <message>
        <source>折扣额合计</source>
        <translation>Total discount</translation>
    </message>
    <message>
        <source>不含税金额合计</source>
        <translation>Total excl. tax</translation>
    </message>
    <message>
        <source>税额合计</source>
        <translation>Total tax</translation>
    </message>
    <message>
        <source>引出采购订单</source>
        <translation>Export purchase order</translation>
    </message>
    <message>
        <source>选择存放采购订单的文件夹</source>
        <translation>Choose a folder for the purchase orders</translation>
    </message>
    <message>
        <source>没有要引出的采购订单</source>
        <translation>There are no purchase orders to export</translation>
    </message>
    <message>
        <source>文件夹“%1”中已有这些文件：
%2
要替换它们吗？选“否”只引出其余的采购订单。</source>
        <translation>The folder &quot;%1&quot; already holds these files:
%2
Do you want to replace them? Choose No to export only the other purchase orders.</translation>
    </message>
    <message>
        <source>已将 %1 张采购订单引出到文件夹“%2”。</source>
        <translation>Purchase orders exported to the folder &quot;%2&quot;: %1.</translation>
    </message>
    <message>
        <source>这些文件已存在，未替换：</source>
        <translation>These files exist already and were not replaced:</translation>
    </message>
    <message>
        <source>这些文件未能写入：</source>
        <translation>These files could not be written:</translation>
    </message>
    <message>
        <source>引出PDF</source>
        <translation>Export PDF</translation>
    </message>
    <message>
        <source>引出Excel</source>
        <translation>Export Excel</translation>
    </message>
    <message>
        <source>全部引出PDF</source>
        <translation>Export all as PDF</translation>
    </message>
    <message>
        <source>请先选择一张采购订单</source>
        <translation>Please select a purchase order first</translation>
    </message>
    <message>
        <source>采购订单已修改，打印或引出前要先保存。是否保存？</source>
        <translation>The purchase order was changed; it must be saved before it is printed or exported. Save it?</translation>
    </message>
    <message>
        <source>行数</source>
        <translation>Lines</translation>
    </message>
    <message>
        <source>……共 %1 个文件</source>
        <translation>… %1 files in all</translation>
    </message>
    <message>
        <source>正在下推…</source>
        <translation>Pushing…</translation>
    </message>
    <message>
        <source>正在检查下推的数据…</source>
        <translation>Checking the rows to push…</translation>
    </message>
    <message>
        <source>下推已取消，没有生成任何订单</source>
        <translation>The push was cancelled; no order was made</translation>
    </message>
    <message>
        <source>公司</source>
        <translation>Company</translation>
    </message>
    <message>
        <source>PostgreSQL 服务器 %1 上没有数据库 %2：请先创建它（例如 createdb %2），程序会在其中建立采购计划的数据表</source>
        <translation>The PostgreSQL server %1 has no database %2: create it first (for example createdb %2) and the program sets up the purchase plan's tables in it</translation>
    </message>
    <message>
        <source>各分录的值不同，下单时各按自己的值：</source>
        <translation>The entries differ here; each is ordered at its own: </translation>
    </message>
    <message>
        <source>（空）</source>
        <translation>(blank)</translation>
    </message>
    <message>
        <source>以下汇总行的分录各按自己的值分别下单，与汇总行显示的不同：</source>
        <translation>The entries of these merged rows are each ordered at their own values, not at the one the row shows:</translation>
    </message>
    <message>
        <source>是否继续下推？</source>
        <translation>Push anyway?</translation>
    </message>
    <message>
        <source>采购建议号[%1]分录号 %2</source>
        <translation>plan [%1] entry %2</translation>
    </message>
    <message>
        <source>第%1行（%2）：%3</source>
        <translation>Row %1 (%2): %3</translation>
    </message>
    <message>
        <source>……另有 %1 行未列出</source>
        <translation>… %1 more rows not listed</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>打印备注</source>
        <translation>Print line notes</translation>
    </message>
    <message>
        <source>币别</source>
        <translation>Currency</translation>
    </message>
    <message>
        <source>付款条件</source>
        <translation>Payment terms</translation>
    </message>
    <message>
        <source>交货地址</source>
        <translation>Delivery address</translation>
    </message>
    <message>
        <source>第 &amp;[页] 页 / 共 &amp;[总页] 页</source>
        <translation>Page &amp;[页] of &amp;[总页]</translation>
    </message>
    <message>
        <source>规格型号|采购订单</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>数量|采购订单</source>
        <translation>Qty</translation>
    </message>
    <message>
        <source>含税单价|采购订单</source>
        <translation>Price incl. tax</translation>
    </message>
    <message>
        <source>折扣率(%)|采购订单</source>
        <translation>Disc. %</translation>
    </message>
    <message>
        <source>折扣额|采购订单</source>
        <translation>Discount</translation>
    </message>
    <message>
        <source>税率(%)|采购订单</source>
        <translation>Tax %</translation>
    </message>
    <message>
        <source>不含税金额|采购订单</source>
        <translation>Net amount</translation>
    </message>
    <message>
        <source>价税合计|采购订单</source>
        <translation>Gross amount</translation>
    </message>
    <message>
        <source>交货日期|采购订单</source>
        <translation>Delivery</translation>
    </message>
    <message>
        <source>无法生成PDF</source>
        <translation>The PDF could not be made</translation>
    </message>
    <message>
        <source>公司设置(&amp;O)...</source>
        <translation>C&amp;ompany settings...</translation>
    </message>
    <message>
        <source>公司设置</source>
        <translation>Company settings</translation>
    </message>
    <message>
        <source>公司名称</source>
        <translation>Company name</translation>
    </message>
    <message>
        <source>公司地址</source>
        <translation>Company address</translation>
    </message>
    <message>
        <source>只有拥有全部权限的管理员才能修改公司设置</source>
        <translation>Only an administrator holding every right changes the company settings</translation>
    </message>
    <message>
        <source>没有名为“%1”的公司设置</source>
        <translation>There is no company setting &quot;%1&quot;</translation>
    </message>
    <message>
        <source>公司设置已修改，是否保存？</source>
        <translation>The company settings have changed. Save them?</translation>
    </message>
    <message>
        <source>公司设置已保存：</source>
        <translation>Company settings saved:</translation>
    </message>
    <message>
        <source>启用</source>
        <translation>Enabled</translation>
    </message>
    <message>
        <source>停用</source>
        <translation>Disabled</translation>
    </message>
    <message>
        <source>停用(&amp;D)</source>
        <translation>&amp;Disable</translation>
    </message>
    <message>
        <source>启用(&amp;E)</source>
        <translation>&amp;Enable</translation>
    </message>
    <message>
        <source>删除用户(&amp;R)...</source>
        <translation>&amp;Remove user...</translation>
    </message>
    <message>
        <source>用户“%1”已启用</source>
        <translation>User &quot;%1&quot; is enabled</translation>
    </message>
    <message>
        <source>用户“%1”已停用：不能再登录，其权限保留到再次启用</source>
        <translation>User &quot;%1&quot; is disabled: no more log-ins; the rights are kept for when the user is enabled again</translation>
    </message>
    <message>
        <source>删除用户“%1”？删除后该用户不能登录，也不再列出；其单据和日志仍保留。</source>
        <translation>Delete user &quot;%1&quot;? The user can no longer log in and is no longer listed; the bills and log records the user wrote are kept.</translation>
    </message>
    <message>
        <source>用户“%1”已删除</source>
        <translation>User &quot;%1&quot; is deleted</translation>
    </message>
    <message>
        <source>用户名“%1”属于一个已删除的用户，其单据和日志仍以此名记录；请另取一个用户名</source>
        <translation>The user name &quot;%1&quot; belongs to a deleted user whose bills and log records still carry it; choose another user name</translation>
    </message>
    <message>
        <source>不能停用或删除自己（%1）：请由另一位管理员来做</source>
        <translation>You cannot disable or delete yourself (%1): another administrator must do it</translation>
    </message>
    <message>
        <source>至少要保留一位拥有全部权限的管理员：本次修改未保存</source>
        <translation>At least one administrator holding every right must remain: nothing of this change was saved</translation>
    </message>
    <message>
        <source>用户“%1”已停用，不能登录；请与系统管理员联系</source>
        <translation>User &quot;%1&quot; is disabled and cannot log in; please contact your system administrator</translation>
    </message>
    <message>
        <source>用户“%1”已删除，不能登录</source>
        <translation>User &quot;%1&quot; is deleted and cannot log in</translation>
    </message>
    <message>
        <source>PostgreSQL 服务器不允许用户 %1 登录：该用户已停用或已删除；请与系统管理员联系</source>
        <translation>The PostgreSQL server does not let user %1 log in: the user is disabled or deleted; please contact your system administrator</translation>
    </message>
    <message>
        <source>没有单位“%1”</source>
        <translation>There is no unit &quot;%1&quot;</translation>
    </message>
    <message>
        <source>没有供应商“%1”</source>
        <translation>There is no supplier &quot;%1&quot;</translation>
    </message>
    <message>
        <source>没有物料“%1”</source>
        <translation>There is no item &quot;%1&quot;</translation>
    </message>
    <message>
        <source>没有可导入的数据：文件只有列标题</source>
        <translation>Nothing to import: the file has captions only</translation>
    </message>
    <message>
        <source>日期 %1 早于 %2</source>
        <translation>The date %1 is before %2</translation>
    </message>
    <message>
        <source>必须大于 0</source>
        <translation>Must be above 0</translation>
    </message>
    <message>
        <source>“%1”是新增的，文件中须有此列</source>
        <translation>&quot;%1&quot; is new, so the file must have this column</translation>
    </message>
    <message>
        <source>物料“%1”已有采购计划分录，不能把单位从“%2”改为“%3”</source>
        <translation>Item &quot;%1&quot; has plan entries: its unit cannot change from &quot;%2&quot; to &quot;%3&quot;</translation>
    </message>
    <message>
        <source>按物料的数量精度（%1 位小数）为 0</source>
        <translation>Is 0 at the item's quantity decimals (%1)</translation>
    </message>
    <message>
        <source>不是已知的列标题，该列不会导入；是否应为“%1”？</source>
        <translation>Not a known caption, so its column is not imported; did you mean &quot;%1&quot;?</translation>
    </message>
    <message>
        <source>文件中有不认识的列标题，这些列不会导入：
%1

是否仍然导入？</source>
        <translation>The file has captions the import does not know; their columns will not be imported:
%1

Import anyway?</translation>
    </message>
    <message>
        <source>注意：%1</source>
        <translation>Note: %1</translation>
    </message>
    <message>
        <source>1 行</source>
        <translation>1 row</translation>
    </message>
    <message>
        <source>%1 行</source>
        <translation>%1 rows</translation>
    </message>
    <message>
        <source>1 个问题</source>
        <translation>1 problem</translation>
    </message>
    <message>
        <source>%1 个问题</source>
        <translation>%1 problems</translation>
    </message>
    <message>
        <source>1 个提醒</source>
        <translation>1 notice</translation>
    </message>
    <message>
        <source>%1 个提醒</source>
        <translation>%1 notices</translation>
    </message>
    <message>
        <source>%1，%2，未写入任何数据</source>
        <translation>%1, %2; nothing was written</translation>
    </message>
    <message>
        <source>%1，没有问题（试运行，未写入）</source>
        <translation>%1, no problems (dry run, nothing written)</translation>
    </message>
    <message>
        <source>%1已导入：新增 %2，更新 %3</source>
        <translation>%1 imported: %2 added, %3 updated</translation>
    </message>
    <message>
        <source>；%1</source>
        <translation>; %1</translation>
    </message>
    <message>
        <source>。请在文件中改正后再导入。</source>
        <translation>. Correct the file and import it again.</translation>
    </message>
    <message>
        <source>。可以导入。</source>
        <translation>. Ready to import.</translation>
    </message>
    <message>
        <source>。</source>
        <translation>.</translation>
    </message>
    <message>
        <source>从此行开始的引号到文件末尾都没有结束</source>
        <translation>The quote opened in this row is still open at the end of the file</translation>
    </message>
    <message>
        <source>引号不成对：以引号开始的字段要以引号结束，字段中的引号要写成两个</source>
        <translation>Unpaired quote: a field that begins with a quote must end with one, and a quote inside a field is written twice</translation>
    </message>
    <message>
        <source>文字太长：一个单元格最多 %1 个字符</source>
        <translation>Text too long: a cell holds at most %1 characters</translation>
    </message>
    <message>
        <source>此行太长：一行最多 %1 个字符</source>
        <translation>Row too long: a row holds at most %1 characters</translation>
    </message>
    <message>
        <source>此行有 %1 个字段，而标题只有 %2 个：多出的字段不属于任何列（含有“%3”的值要放在引号中）</source>
        <translation>This row has %1 fields but the captions only %2: the extra fields belong to no column (put a value holding &quot;%3&quot; in quotes)</translation>
    </message>
    <message>
        <source>文件 %1 有以下问题，未写入任何数据：</source>
        <translation>The file %1 has these problems; nothing was written:</translation>
    </message>
    <message>
        <source>“%1”不明确：分号分隔的文件中小数点要写成逗号（如 1,5），一千写作 1000 或 1.000,00</source>
        <translation>&quot;%1&quot; is ambiguous: in a file separated by semicolons decimals take a comma (1,5), and one thousand is written 1000 or 1.000,00</translation>
    </message>
    <message>
        <source>工作簿 %1 中的 %2 解压后有 %3 MB，超过了 %4 MB 的上限，不能导入</source>
        <translation>In the workbook %1, %2 unpacks to %3 MB, beyond the limit of %4 MB; it cannot be imported</translation>
    </message>
    <message>
        <source>工作簿 %1 已损坏：其中的 %2 无法解压或校验和不符</source>
        <translation>The workbook %1 is damaged: its part %2 does not unpack or fails its checksum</translation>
    </message>
    <message>
        <source>模板的文件名要以 .xlsx、.csv 或 .txt 结尾：%1</source>
        <translation>A template's file name must end in .xlsx, .csv or .txt: %1</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>用户：%1</source>
        <translation>User: %1</translation>
    </message>
    <message>
        <source>数据库：%1</source>
        <translation>Store: %1</translation>
    </message>
    <message>
        <source>登录信息</source>
        <translation>Logged in as</translation>
    </message>
    <message>
        <source>选中单元格的合计</source>
        <translation>Sums of the selected cells</translation>
    </message>
    <message>
        <source>勾选的行</source>
        <translation>Ticked rows</translation>
    </message>
    <message>
        <source>正在计算选中的单元格…</source>
        <translation>Counting the selected cells…</translation>
    </message>
    <message>
        <source>计数：%1</source>
        <translation>Count: %1</translation>
    </message>
    <message>
        <source>求和：%1</source>
        <translation>Sum: %1</translation>
    </message>
    <message>
        <source>平均值：%1</source>
        <translation>Average: %1</translation>
    </message>
    <message>
        <source>已勾选 %1 行</source>
        <translation>Rows ticked: %1</translation>
    </message>
    <message>
        <source>，价税合计 %1</source>
        <translation>, total incl. tax %1</translation>
    </message>
    <message>
        <source>无法读取配置文件“%1”</source>
        <translation>Cannot read the configuration file “%1”</translation>
    </message>
    <message>
        <source>配置文件“%1”格式错误</source>
        <translation>The configuration file “%1” is not in a form the program can read</translation>
    </message>
    <message>
        <source>所需权限：%1</source>
        <translation>Right required: %1</translation>
    </message>
    <message>
        <source>只显示未下推完的分录</source>
        <translation>Only entries with something left to order</translation>
    </message>
    <message>
        <source>没有下推任何分录，也没有生成采购订单。</source>
        <translation>Nothing was pushed and no purchase order was made.</translation>
    </message>
    <message>
        <source>%1 行已全部下推，已跳过</source>
        <translation>%1 rows were pushed in full already and were skipped</translation>
    </message>
    <message>
        <source>没有供应商“%1”的权限，该行只能查看，不能修改。</source>
        <translation>You may not use supplier “%1”: this row can be viewed but not changed.</translation>
    </message>
    <message>
        <source>计划图表(&amp;T)</source>
        <translation>Plan &amp;chart</translation>
    </message>
    <message>
        <source>计划图表</source>
        <translation>Plan chart</translation>
    </message>
    <message>
        <source>图表</source>
        <translation>Chart</translation>
    </message>
    <message>
        <source>采购计划图表</source>
        <translation>Purchase plan chart</translation>
    </message>
    <message>
        <source>图表工具栏</source>
        <translation>Chart tools</translation>
    </message>
    <message>
        <source>引出图片</source>
        <translation>Save image</translation>
    </message>
    <message>
        <source>引出图表图片</source>
        <translation>Save the chart as an image</translation>
    </message>
    <message>
        <source>PNG 图片 (*.png)</source>
        <translation>PNG images (*.png)</translation>
    </message>
    <message>
        <source>各供应商的含税金额</source>
        <translation>Amount with tax by supplier</translation>
    </message>
    <message>
        <source>各供应商的下推数量（没有查看单价的权限，不显示金额）</source>
        <translation>Quantity to push by supplier (no amounts: you may not see prices)</translation>
    </message>
    <message>
        <source>各交货周的下推数量</source>
        <translation>Quantity to push by delivery week</translation>
    </message>
    <message>
        <source>其他 %1 家</source>
        <translation>%1 others</translation>
    </message>
    <message>
        <source>（无供应商）</source>
        <translation>(no supplier)</translation>
    </message>
    <message>
        <source>第%1周</source>
        <translation>W%1</translation>
    </message>
    <message>
        <source>无交货日期：数量 %1（%2 行）</source>
        <translation>No delivery date: quantity %1 (%2 rows)</translation>
    </message>
    <message>
        <source>本周以前</source>
        <translation>Before this week</translation>
    </message>
    <message>
        <source>列表中没有可绘制的行</source>
        <translation>The list has no rows to draw</translation>
    </message>
    <message>
        <source>根据列表显示的 %1 行绘制，含未保存的修改。</source>
        <translation>Drawn from the %1 rows the list shows, unsaved edits included.</translation>
    </message>
    <message>
        <source>根据列表显示的 %1 个汇总行（%2 个分录）绘制，含未保存的修改。</source>
        <translation>Drawn from the %1 merged rows the list shows (%2 entries), unsaved edits included.</translation>
    </message>
    <message>
        <source>已关闭的 %1 行不计。</source>
        <translation>%1 closed rows are left out.</translation>
    </message>
    <message>
        <source>合计：含税金额 %1，下推数量 %2。</source>
        <translation>Totals: amount with tax %1, quantity to push %2.</translation>
    </message>
    <message>
        <source>合计：下推数量 %1。</source>
        <translation>Total quantity to push: %1.</translation>
    </message>
    <message>
        <source>无法打印到“%1”</source>
        <translation>Cannot print to &quot;%1&quot;</translation>
    </message>
    <message>
        <source>撤销(&amp;U)</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>重做(&amp;Y)</source>
        <translation>&amp;Redo</translation>
    </message>
    <message>
        <source>粘贴(&amp;P)</source>
        <translation>&amp;Paste</translation>
    </message>
    <message>
        <source>第%1行“%2”：%3</source>
        <translation>Row %1, %2: %3</translation>
    </message>
    <message>
        <source>没有可以撤销的修改（保存、刷新、过滤和汇总之前的修改不能撤销）。</source>
        <translation>There is nothing to undo (edits made before a save, a refresh, a filter or a fold cannot be undone).</translation>
    </message>
    <message>
        <source>没有可以重做的修改。</source>
        <translation>There is nothing to redo.</translation>
    </message>
    <message>
        <source>不能撤销：撤销会恢复被拒绝的值。</source>
        <translation>Cannot undo: the undo would bring back a value that is refused now.</translation>
    </message>
    <message>
        <source>不能重做：重做会恢复被拒绝的值。</source>
        <translation>Cannot redo: the redo would bring back a value that is refused now.</translation>
    </message>
    <message>
        <source>这些单元格已被其他操作改变，之前的修改不能再撤销或重做。</source>
        <translation>These cells were changed by another command; the edits before it can no longer be undone or redone.</translation>
    </message>
    <message>
        <source>请先选择要复制的单元格。</source>
        <translation>Select the cells to copy first.</translation>
    </message>
    <message>
        <source>选择的单元格太多（%1 行 × %2 列），请用“引出”保存整个列表。</source>
        <translation>Too many cells are selected (%1 rows × %2 columns); use Export to save the whole list.</translation>
    </message>
    <message>
        <source>已复制 %1 行 %2 列</source>
        <translation>Copied %1 rows, %2 columns</translation>
    </message>
    <message>
        <source>剪贴板中没有可以粘贴的内容。</source>
        <translation>The clipboard holds nothing to paste.</translation>
    </message>
    <message>
        <source>请先选择要粘贴到的单元格。</source>
        <translation>Select the cell to paste into first.</translation>
    </message>
    <message>
        <source>只读，没有粘贴</source>
        <translation>read-only, not pasted</translation>
    </message>
    <message>
        <source>不是勾选值（1 或 0）</source>
        <translation>not a tick (1 or 0)</translation>
    </message>
    <message>
        <source>“%1”不是有效的日期</source>
        <translation>“%1” is not a valid date</translation>
    </message>
    <message>
        <source>%1 不在允许的范围内</source>
        <translation>%1 is outside the allowed range</translation>
    </message>
    <message>
        <source>“%1”不能写入这个单元格</source>
        <translation>“%1” cannot be written into this cell</translation>
    </message>
    <message>
        <source>已粘贴 %1 个单元格；以下单元格没有粘贴，保留原来的值：</source>
        <translation>%1 cells were pasted; these cells were not pasted and keep their values:</translation>
    </message>
    <message>
        <source>……另有 %1 个单元格没有粘贴</source>
        <translation>… and %1 more cells were not pasted</translation>
    </message>
    <message>
        <source>超出表格的 %1 行没有粘贴。</source>
        <translation>%1 rows beyond the end of the list were not pasted.</translation>
    </message>
    <message>
        <source>超出表格的 %1 列没有粘贴。</source>
        <translation>%1 columns beyond the last column were not pasted.</translation>
    </message>
    <message>
        <source>粘贴的内容与表格中的相同，没有修改。</source>
        <translation>The pasted cells hold what the list holds already; nothing changed.</translation>
    </message>
    <message>
        <source>已创建数据库：%1</source>
        <translation>Store created: %1</translation>
    </message>
    <message>
        <source>撤销上一步未保存的修改（保存、刷新、过滤和汇总之后，之前的修改不能再撤销）</source>
        <translation>Undo the last unsaved edit (a save, a refresh, a filter or a fold ends what can be undone)</translation>
    </message>
    <message>
        <source>重做撤销了的修改</source>
        <translation>Redo the edit that was undone</translation>
    </message>
    <message>
        <source>把选中的单元格复制为电子表格可以粘贴的文本</source>
        <translation>Copy the selected cells as text a spreadsheet pastes</translation>
    </message>
    <message>
        <source>从当前单元格起粘贴从电子表格复制的单元格，每个单元格都像输入时一样检查</source>
        <translation>Paste cells copied from a spreadsheet from the current cell on, each checked as a typed one</translation>
    </message>
    <message>
        <source>升序排列</source>
        <translation>Sort Ascending</translation>
    </message>
    <message>
        <source>降序排列</source>
        <translation>Sort Descending</translation>
    </message>
    <message>
        <source>取消排序</source>
        <translation>Remove Sort</translation>
    </message>
    <message>
        <source>按当前列升序排列</source>
        <translation>Sort Ascending by Current Column</translation>
    </message>
    <message>
        <source>按当前列降序排列</source>
        <translation>Sort Descending by Current Column</translation>
    </message>
    <message>
        <source>请先点击要排序的列。</source>
        <translation>Click a cell of the column to sort by first.</translation>
    </message>
    <message>
        <source>列表的行与表格不一致，请刷新后再排序。</source>
        <translation>The list's rows do not match the grid; refresh the list, then sort.</translation>
    </message>
    <message>
        <source>其他用户的修改</source>
        <translation>Changes by other users</translation>
    </message>
    <message>
        <source>逐个查看(&amp;N)</source>
        <translation>Show them (&amp;N)</translation>
    </message>
    <message>
        <source>%1 在 %2 关闭了此分录</source>
        <translation>%1 closed this entry at %2</translation>
    </message>
    <message>
        <source>%1 在 %2 反关闭了此分录</source>
        <translation>%1 reopened this entry at %2</translation>
    </message>
    <message>
        <source>%1 在 %2 下推了此分录</source>
        <translation>%1 pushed this entry into an order at %2</translation>
    </message>
    <message>
        <source>%1 在 %2 删除了此分录</source>
        <translation>%1 deleted this entry at %2</translation>
    </message>
    <message>
        <source>%1 在 %2 新增了此分录</source>
        <translation>%1 added this entry at %2</translation>
    </message>
    <message>
        <source>%1 在 %2 修改了此分录</source>
        <translation>%1 changed this entry at %2</translation>
    </message>
    <message>
        <source>冲突：您对此行有未保存的修改，其他用户也修改了它；保存时会被拒绝，请刷新后重新修改。</source>
        <translation>Conflict: you have unsaved edits on this row and another user changed it too; the save will refuse it: refresh and make your change again.</translation>
    </message>
    <message>
        <source>……</source>
        <translation>…</translation>
    </message>
    <message>
        <source>第%1行：%2</source>
        <translation>Row %1: %2</translation>
    </message>
    <message>
        <source>要下推的行中，以下行已被其他用户修改（数据库会拒绝这些行，请刷新后重新下推）：</source>
        <translation>Of the rows to push, these were changed by other users (the store will refuse them: refresh and push again):</translation>
    </message>
    <message>
        <source>要保存的行中，以下行已被其他用户修改（数据库会拒绝这些行，请刷新后重新修改）：</source>
        <translation>Of the rows to save, these were changed by other users (the store will refuse them: refresh and make your change again):</translation>
    </message>
    <message>
        <source>是否继续？</source>
        <translation>Go on?</translation>
    </message>
    <message>
        <source>与数据库的通知连接中断过，可能漏掉了其他用户的修改（%1）；请刷新。</source>
        <translation>The connection for notices from the store was lost; changes by other users may have been missed (%1). Please refresh.</translation>
    </message>
    <message>
        <source>列表中有 %1 个分录已被其他用户修改。</source>
        <translation>Entries shown that other users changed: %1.</translation>
    </message>
    <message>
        <source>其他用户新增了 %1 个分录。</source>
        <translation>Entries other users added: %1.</translation>
    </message>
    <message>
        <source>无法连接数据库服务器接收其他用户修改的通知</source>
        <translation>Cannot connect to the database server for notices of other users' changes</translation>
    </message>
</context>
</TS>
