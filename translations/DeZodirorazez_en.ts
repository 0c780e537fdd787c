<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>DeZodirorazez</name>
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
        <translation>Plan bill no.:</translation>
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
        <source>下推采购订单功能尚未开放</source>
        <translation>Pushing to purchase orders is not available yet</translation>
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
</context>
</TS>
